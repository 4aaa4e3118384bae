#pragma once
// Assembly of the 128 KiB stamp image: boot code, texts and the FAT16 EFI System Partition.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "base/page_buffer.h"
#include "bootprog/boot_programs.h"
#include "stamp/stamp_layout.h"
#include "stamp/stamp_payload.h"

namespace tvde {

// ceil(131072 / S) x S with S = max(512, bytesPerSector): whole device sectors.
size_t StampImageLength(uint32_t bytesPerSector);

// Everything the image is made of, already encoded. Texts longer than their slot are cut here.
struct StampImageParts {
  std::span<const uint8_t> mbrBootCode;        // exactly 63 bytes
  std::span<const uint8_t> biosReportProgram;  // at most 96 bytes
  std::string_view mbrMessage;                 // first 300 bytes stored
  std::string_view stampRecord;                // first 2047 bytes stored
  std::string_view screenText;                 // first 3996 bytes stored, also REPORT.TXT
  std::span<const uint8_t> efiX64;             // patched \EFI\BOOT\BOOTX64.EFI
  std::span<const uint8_t> efiIa32;            // patched \EFI\BOOT\BOOTIA32.EFI
};

// Writes the whole layout into `image` (at least 131072 bytes; every other byte is zeroed) with
// the EFI System Partition of `esp` (512-byte sectors when not given). False when a boot
// program has the wrong size or the files do not fit inside the image.
bool AssembleStampImage(std::span<uint8_t> image, const StampImageParts& parts);
bool AssembleStampImage(std::span<uint8_t> image, const StampImageParts& parts,
                        const EspGeometry& esp);

// Allocation state of the stamp volume while files are added.
struct FatVolume {
  std::span<uint8_t> image;      // the whole stamp image: boot sector, FAT #1, data
  uint16_t nextFreeCluster = 4;  // first file cluster
  const EspGeometry* geometry = &kEsp512;
};

// Places one file in consecutive clusters from nextFreeCluster, chains it in FAT #1 and fills
// its 32-byte directory entry. A zero-length file still takes one cluster. False (nothing
// changed) when the file would run past the last cluster inside the image.
bool AddFatFile(FatVolume& volume, std::string_view name83, std::span<const uint8_t> data,
                std::span<uint8_t> directoryEntry);

// Encodes the payload and assembles the image in a sector-aligned buffer for the device, with
// the volume laid out in the device's sectors. An empty buffer when the sector size has no
// stamp layout (EspGeometryFor), allocation fails, a program does not fit, or an EFI image carries
// no report block to patch (it would boot showing default values instead of this report).
PageBuffer BuildStampImage(const StampPayload& payload, uint32_t bytesPerSector,
                           const BootPrograms& programs);

}  // namespace tvde
