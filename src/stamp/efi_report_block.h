#pragma once
// The 2792-byte block of fixed-width ASCII fields that the UEFI report programs draw, and the
// patching of that block into a program image.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "stamp/stamp_payload.h"

namespace tvde {

// Field map of the block; every field is zero-padded and ends with at least one zero byte.
inline constexpr size_t kEfiMagicOffset = 0;
inline constexpr size_t kEfiMagicWidth = 24;
inline constexpr size_t kEfiTitleOffset = 24;
inline constexpr size_t kEfiTitleWidth = 96;
inline constexpr size_t kEfiStatusOffset = 120;
inline constexpr size_t kEfiStatusWidth = 32;
inline constexpr size_t kEfiRowStride = 120;
inline constexpr size_t kEfiLabelWidth = 28;
inline constexpr size_t kEfiValueWidth = 92;
inline constexpr size_t kEfiReportRowsOffset = 152;
inline constexpr size_t kEfiReportRowCount = 7;
inline constexpr size_t kEfiHardwareRowsOffset = 992;
inline constexpr size_t kEfiHardwareRowCount = 15;
inline constexpr size_t kEfiReportBlockSize = 2792;

static_assert(kEfiTitleOffset == kEfiMagicOffset + kEfiMagicWidth);
static_assert(kEfiStatusOffset == kEfiTitleOffset + kEfiTitleWidth);
static_assert(kEfiReportRowsOffset == kEfiStatusOffset + kEfiStatusWidth);
static_assert(kEfiRowStride == kEfiLabelWidth + kEfiValueWidth);
static_assert(kEfiHardwareRowsOffset == kEfiReportRowsOffset + kEfiReportRowCount * kEfiRowStride);
static_assert(kEfiReportBlockSize == kEfiHardwareRowsOffset + kEfiHardwareRowCount * kEfiRowStride);

inline constexpr std::string_view kEfiMagic = "TVDE_EFI_STAMP_V2_MAGIC";  // 23 bytes + zero
static_assert(kEfiMagic.size() + 1 == kEfiMagicWidth);

inline constexpr std::string_view kEfiTitle =
    "NIST SP 800-88 Rev.1 / DoD 5220.22-M Certified Sanitization & Hardware Verification";

inline constexpr std::array<std::string_view, kEfiReportRowCount> kEfiReportLabels = {
    "Report / Cert ID  :", "Sanitization Date :", "Software Version  :", "Erasure Standard  :",
    "Verification      :", "Operator / Org    :", "SHA-256 Signature :",
};

inline constexpr std::array<std::string_view, kEfiHardwareRowCount> kEfiHardwareLabels = {
    "Manufacturer      :", "Chassis Type      :", "System Model      :", "System Serial     :",
    "System UUID       :", "Asset Tag         :", "Processor (CPU)   :", "Total Memory      :",
    "Sanitized Disk    :", "Disk Geometry     :", "Graphics Adapter  :", "Audio Controller  :",
    "Network / MAC     :", "Motherboard       :", "BIOS / Storage    :",
};

using EfiReportBlock = std::array<uint8_t, kEfiReportBlockSize>;

EfiReportBlock BuildEfiReportBlock(const StampPayload& payload);

// Offsets of row i's label and value.
constexpr size_t EfiReportRowOffset(size_t row) {
  return kEfiReportRowsOffset + row * kEfiRowStride;
}
constexpr size_t EfiHardwareRowOffset(size_t row) {
  return kEfiHardwareRowsOffset + row * kEfiRowStride;
}

// The text of one field as stored: its bytes up to the first zero (or the field's end).
std::string ReadFixedField(std::span<const uint8_t> block, size_t offset, size_t width);
std::string EfiReportValue(const EfiReportBlock& block, size_t row);
std::string EfiHardwareValue(const EfiReportBlock& block, size_t row);

// Overwrites the first block-sized run that starts with the magic and fits inside the image.
// Returns false, leaving the image unchanged, when there is none.
bool PatchEfiImage(std::span<uint8_t> image, const EfiReportBlock& block);

}  // namespace tvde
