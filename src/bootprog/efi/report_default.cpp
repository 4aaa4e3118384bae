// The built-in report block: shown by an image that was never patched with a stamp's values.
#include "report_block.h"

namespace tvde::efi {

ReportBlock gReportBlock = {
    "TVDE_EFI_STAMP_V2_MAGIC",
    "NIST SP 800-88 Rev.1 / DoD 5220.22-M Certified Sanitization & Hardware Verification",
    "SANITIZED & VERIFIED",
    {
        {"Report / Cert ID  :", "TVDE-DEFAULT-STAMP"},
        {"Sanitization Date :", "2026-10-23 00:00:00"},
        {"Software Version  :", "Toreval Disk Eraser Suite v1.3.0"},
        {"Erasure Standard  :", "NIST SP 800-88 Rev.1 Purge"},
        {"Verification      :", "PASSED (All Sampled Sectors Verified Clean)"},
        {"Operator / Org    :", "Toreval / Toreval Tools Lab"},
        {"SHA-256 Signature :", "N/A"},
    },
    {
        {"Manufacturer      :", "Standard PC"},
        {"Chassis Type      :", "Desktop / Notebook"},
        {"System Model      :", "Generic System"},
        {"System Serial     :", "N/A"},
        {"System UUID       :", "N/A"},
        {"Asset Tag         :", "None"},
        {"Processor (CPU)   :", "x86/x64 Processor"},
        {"Total Memory      :", "N/A"},
        {"Sanitized Disk    :", "Internal Storage"},
        {"Disk Geometry     :", "512 B/Sector"},
        {"Graphics Adapter  :", "Standard GOP Display"},
        {"Audio Controller  :", "Standard Audio"},
        {"Network / MAC     :", "Ethernet Adapter"},
        {"Motherboard       :", "System BaseBoard"},
        {"BIOS / Storage    :", "UEFI / Storage Controller"},
    },
};

}  // namespace tvde::efi
