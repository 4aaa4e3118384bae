#pragma once
// Which firmware erase a job sends: chosen from what the drive reported it supports, what the
// platform lets pass and the operator's choice; never from whether a command happens to
// succeed. Actions that erase the whole NVMe controller are refused unless this namespace is
// the controller's only one.

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/firmware_capabilities.h"

namespace tvde {

// The operator's choice; the value is also the index of the main window's combo box.
enum class FirmwareMode : int32_t {
  Off = 0,
  Auto = 1,       // the strongest the drive supports: crypto, block, (HDD) overwrite, format
  Crypto = 2,     // a cryptographic erase only
  Block = 3,      // a block erase only
  Overwrite = 4,  // the drive's own overwrite only
  Format = 5,     // NVMe Format NVM, ATA SECURITY ERASE UNIT, SCSI FORMAT UNIT
};
inline constexpr int32_t kFirmwareModeCount = 6;
inline constexpr const char* kFirmwareModeNames[kFirmwareModeCount] = {
    "off", "auto", "crypto", "block", "overwrite", "format"};

enum class FirmwareMethod : int32_t {
  None,
  NvmeSanitizeCrypto,
  NvmeSanitizeBlock,
  NvmeSanitizeOverwrite,
  NvmeFormatCrypto,
  NvmeFormatUserData,
  AtaSanitizeCrypto,
  AtaSanitizeBlock,
  AtaSanitizeOverwrite,
  AtaSecurityEraseEnhanced,
  AtaSecurityErase,
  ScsiSanitizeCrypto,
  ScsiSanitizeBlock,
  ScsiSanitizeOverwrite,
  ScsiFormatUnit,
  WindowsReinitialize,  // IOCTL_STORAGE_REINITIALIZE_MEDIA, the driver's default method
  WindowsReinitializeCrypto,
  WindowsReinitializeBlock,
};

struct SanitizeChoice {
  FirmwareMethod method = FirmwareMethod::None;
  // When no method was chosen: why, one reason per method that was considered.
  std::wstring reason;
  bool frozen = false;  // the method that fits is held back by a frozen drive
};

// `hddLike`: a spinning disk, where the drive's own overwrite is a purge (on flash it is not
// chosen by Auto).
SanitizeChoice ChooseSanitizeMethod(const FirmwareCapabilities& caps, FirmwareMode mode,
                                    bool hddLike);

// "NVMe Sanitize Crypto Erase", "ATA SECURITY ERASE UNIT (enhanced)", ...
std::wstring FirmwareMethodName(FirmwareMethod method);
// Short identifiers for scripts: "nvme-sanitize-crypto", ...
const char* FirmwareMethodId(FirmwareMethod method);

// Whether a confirmed run of the method reaches NIST SP 800-88 Purge on flash media. FORMAT
// UNIT is not a sanitize command; what it does to the data is the drive's own business.
bool MethodIsPurge(FirmwareMethod method);

// Every method the drive reports and the platform lets pass, strongest first (for lists).
std::vector<FirmwareMethod> AvailableMethods(const FirmwareCapabilities& caps);

}  // namespace tvde
