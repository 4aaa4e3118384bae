#pragma once
// Shared fixtures of the stamp tests: one hand-written payload, synthetic boot programs and
// small readers for images parsed back byte by byte.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bootprog/boot_programs.h"
#include "stamp/stamp_payload.h"
#include "support/file_bytes.h"

namespace tvde::testing {

// The payload every golden text of these tests is written for.
StampPayload SamplePayload();

// Boot programs made of recognisable bytes; each EFI image carries the report block magic
// at a known offset.
struct SyntheticPrograms {
  static constexpr size_t kX64MagicOffset = 4096;
  static constexpr size_t kIa32MagicOffset = 1000;

  SyntheticPrograms();
  BootPrograms view() const;

  std::vector<uint8_t> mbr;
  std::vector<uint8_t> bios;
  std::vector<uint8_t> x64;
  std::vector<uint8_t> ia32;
};

// Little-endian reads at a byte offset of an image.
uint16_t Le16(std::span<const uint8_t> image, size_t offset);
uint32_t Le32(std::span<const uint8_t> image, size_t offset);
// Bytes [offset, offset + count) as text.
std::string Bytes(std::span<const uint8_t> image, size_t offset, size_t count);
// The zero-terminated text starting at offset.
std::string CString(std::span<const uint8_t> image, size_t offset);

}  // namespace tvde::testing
