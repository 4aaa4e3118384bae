#pragma once
// The report block of the UEFI report application: 2792 bytes of zero-padded printable ASCII
// fields, found in the image file by its magic and overwritten when a stamp is written.

namespace tvde::efi {

inline constexpr int kReportRows = 7;
inline constexpr int kHardwareRows = 15;

struct ReportRow {
  char label[28];
  char value[92];
};

struct ReportBlock {
  char magic[24];  // "TVDE_EFI_STAMP_V2_MAGIC"
  char title[96];
  char status[32];
  ReportRow report[kReportRows];
  ReportRow hardware[kHardwareRows];
};

static_assert(sizeof(ReportRow) == 120);
static_assert(sizeof(ReportBlock) == 2792);
static_assert(__builtin_offsetof(ReportBlock, title) == 24);
static_assert(__builtin_offsetof(ReportBlock, status) == 120);
static_assert(__builtin_offsetof(ReportBlock, report) == 152);
static_assert(__builtin_offsetof(ReportBlock, hardware) == 992);

// Writable and with external linkage on purpose: a const or internal block would let the
// optimiser fold its default values into the code, and patching the file would change nothing.
extern ReportBlock gReportBlock;

}  // namespace tvde::efi
