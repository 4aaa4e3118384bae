#pragma once
// The boot-time report programs, built from the sources in this folder by the normal build and
// embedded into the program as constant data.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tvde {

inline constexpr size_t kMbrBootCodeSize = 63;          // LBA 0, bytes 0x00..0x3E
inline constexpr size_t kBiosReportProgramBudget = 96;  // LBA 5, 0xA00..0xA5F
inline constexpr size_t kEfiReportX64Size = 10240;      // \EFI\BOOT\BOOTX64.EFI
inline constexpr size_t kEfiReportIa32Size = 9216;      // \EFI\BOOT\BOOTIA32.EFI

struct BootPrograms {
  std::span<const uint8_t> mbrBootCode;        // exactly kMbrBootCodeSize bytes
  std::span<const uint8_t> biosReportProgram;  // at most kBiosReportProgramBudget bytes
  std::span<const uint8_t> efiReportX64;       // exactly kEfiReportX64Size bytes
  std::span<const uint8_t> efiReportIa32;      // exactly kEfiReportIa32Size bytes
};

BootPrograms EmbeddedBootPrograms();

}  // namespace tvde
