#pragma once
// Shared fixtures of the stamp tests: the sample payload of the golden files and synthetic boot
// programs.

#include <span>
#include <string>
#include <vector>

#include "bootprog/boot_programs.h"
#include "stamp/stamp_payload.h"
#include "support/file_bytes.h"

namespace tvde::testing {

// golden/sample_payload.txt, the payload every golden file of these tests is written for.
StampPayload SamplePayload();

// Boot programs made of recognisable bytes, each EFI image with the block magic at an offset.
struct SyntheticPrograms {
  static constexpr size_t kX64MagicOffset = 4096;
  static constexpr size_t kIa32MagicOffset = 1000;
  SyntheticPrograms();
  BootPrograms view() const { return {mbr, bios, x64, ia32}; }
  std::vector<uint8_t> mbr, bios, x64, ia32;
};

}  // namespace tvde::testing
