#pragma once
// Byte map of the 128 KiB stamp image written over the first 256 512-byte sectors of a disk:
// MBR with boot code, StampRecord, BIOS report program and text, and a small FAT16 EFI System
// Partition. Offsets are from the start of the disk and do not depend on the device sector size.

#include <array>
#include <cstddef>
#include <cstdint>

#include "bootprog/boot_programs.h"

namespace tvde {

inline constexpr size_t kLayoutSectorSize = 512;  // "LBA" in this map is always 512 bytes
inline constexpr size_t kStampImageBytes = 131072;
inline constexpr size_t kStampImageSectors = kStampImageBytes / kLayoutSectorSize;  // LBA 0..255

// LBA 0: MBR.
inline constexpr size_t kMbrCodeOffset = 0x000;
inline constexpr size_t kMbrCodeSize = kMbrBootCodeSize;  // 63; byte 0x3F stays zero
inline constexpr size_t kMbrPacketOffset = 0x040;         // INT 13h extended-read packet
inline constexpr size_t kMbrMessageOffset = 0x050;        // fallback message, zero-terminated
inline constexpr size_t kMbrMessageMax = 300;
inline constexpr size_t kMbrPartitionOffset = 0x1BE;  // partition entry 1; entries 2-4 zero
inline constexpr size_t kMbrPartitionEntrySize = 16;
inline constexpr size_t kMbrSignatureOffset = 0x1FE;  // 55 AA

// Reads LBA 5..12 (the report program and its text) to 0000:8000.
inline constexpr std::array<uint8_t, 16> kMbrReadPacket = {
    0x10, 0x00, 0x08, 0x00, 0x00, 0x80, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// LBA 1..4: StampRecord, always followed by at least one zero byte.
inline constexpr size_t kRecordOffset = 0x200;
inline constexpr size_t kRecordAreaEnd = 0xA00;
inline constexpr size_t kRecordMax = 2047;

// LBA 5..12: BIOS report program at 0000:8000 and its text at 0000:8060.
inline constexpr size_t kBiosProgramOffset = 0xA00;
inline constexpr size_t kBiosProgramMax = kBiosReportProgramBudget;  // 96
inline constexpr size_t kScreenTextOffset = 0xA60;
inline constexpr size_t kScreenTextMax = 3996;
inline constexpr size_t kBiosLoadLba = 5;
inline constexpr size_t kBiosLoadSectors = 8;

// LBA 64..: FAT16 EFI System Partition (partition entry 1).
inline constexpr uint32_t kEspFirstLba = 64;
inline constexpr uint32_t kEspSectorCount = 8192;
inline constexpr size_t kEspOffset = kEspFirstLba * kLayoutSectorSize;  // 0x8000: boot sector
inline constexpr uint16_t kFatReservedSectors = 1;
inline constexpr uint8_t kFatCount = 2;
inline constexpr uint16_t kFatSectors = 32;
inline constexpr uint16_t kRootEntryCount = 512;
inline constexpr size_t kDirEntrySize = 32;
inline constexpr size_t kFatBytes = kFatSectors * kLayoutSectorSize;  // 16384
inline constexpr size_t kFat1Offset = 0x8200;
inline constexpr size_t kFat2Offset = 0xC200;
inline constexpr size_t kRootDirOffset = 0x10200;
inline constexpr size_t kDataOffset = 0x14200;  // cluster 2
inline constexpr size_t kClusterSize = 512;
inline constexpr uint16_t kEfiDirCluster = 2;
inline constexpr uint16_t kEfiBootDirCluster = 3;
inline constexpr uint16_t kFirstFileCluster = 4;
// Clusters 2..96 lie inside the image (LBA 161..255); the rest of the volume is free.
inline constexpr uint16_t kLastImageCluster =
    static_cast<uint16_t>(2 + (kStampImageBytes - kDataOffset) / kClusterSize - 1);

inline constexpr uint16_t kFatEndOfChain = 0xFFFF;
inline constexpr uint16_t kFatMediaEntry = 0xFFF8;
inline constexpr uint8_t kAttrVolumeLabel = 0x08;
inline constexpr uint8_t kAttrDirectory = 0x10;
inline constexpr uint8_t kAttrArchive = 0x20;

// Slots of the three files in the EFI\BOOT directory (after "." and "..").
inline constexpr size_t kBootX64Slot = 2;
inline constexpr size_t kBootIa32Slot = 3;
inline constexpr size_t kReportTxtSlot = 4;

constexpr size_t ClusterOffset(uint32_t cluster) {
  return kDataOffset + (cluster - 2) * kClusterSize;
}

// The EFI System Partition in the device's own sectors. Firmware counts the partition entry's
// LBAs and the boot sector's fields in logical sectors of the disk, so a disk with 4096-byte
// sectors gets a volume of its own: one sector per cluster, starting at the same byte 0x8000.
// The MBR, record, BIOS program and text bytes in front of it are the same for every disk.
struct EspGeometry {
  uint32_t sectorSize;   // bytes per device sector, per volume sector and per cluster
  uint32_t firstLba;     // partition start in device sectors
  uint32_t sectorCount;  // partition length in device sectors
  uint16_t fatSectors;   // per FAT

  constexpr size_t EspOffset() const { return size_t{firstLba} * sectorSize; }
  constexpr size_t FatBytes() const { return size_t{fatSectors} * sectorSize; }
  constexpr size_t Fat1Offset() const {
    return EspOffset() + size_t{kFatReservedSectors} * sectorSize;
  }
  constexpr size_t Fat2Offset() const { return Fat1Offset() + FatBytes(); }
  constexpr size_t RootDirOffset() const { return Fat2Offset() + FatBytes(); }
  constexpr size_t DataOffset() const { return RootDirOffset() + kRootEntryCount * kDirEntrySize; }
  constexpr size_t ClusterOffset(uint32_t cluster) const {
    return DataOffset() + size_t{cluster - 2} * sectorSize;
  }
  // Clusters from 2 up to this one lie inside the image; the rest of the volume is free.
  constexpr uint32_t LastImageCluster() const {
    return static_cast<uint32_t>(2 + (kStampImageBytes - DataOffset()) / sectorSize - 1);
  }
  constexpr uint32_t DataClusters() const {
    return sectorCount - static_cast<uint32_t>((DataOffset() - EspOffset()) / sectorSize);
  }
};

inline constexpr EspGeometry kEsp512 = {512, kEspFirstLba, kEspSectorCount, kFatSectors};
// 32 MiB in 4 KiB sectors: boot sector 0x8000, FATs 0x9000 and 0xD000, root 0x11000, data
// (cluster 2) 0x15000.
inline constexpr EspGeometry kEsp4096 = {4096, 8, 8192, 4};

// The volume for a device sector size (0 counts as 512); null for sizes the stamp does not
// support (the stamp is then skipped).
constexpr const EspGeometry* EspGeometryFor(uint32_t bytesPerSector) {
  if (bytesPerSector == 0 || bytesPerSector == 512) return &kEsp512;
  if (bytesPerSector == 4096) return &kEsp4096;
  return nullptr;
}

static_assert(kMbrCodeOffset + kMbrCodeSize < kMbrPacketOffset, "byte 0x3F must stay zero");
static_assert(kMbrPacketOffset + kMbrReadPacket.size() == kMbrMessageOffset);
static_assert(kMbrMessageOffset + kMbrMessageMax == 0x17C, "message ends before the zero gap");
static_assert(kMbrMessageOffset + kMbrMessageMax < kMbrPartitionOffset);
static_assert(kMbrPartitionOffset + 4 * kMbrPartitionEntrySize == kMbrSignatureOffset);
static_assert(kMbrSignatureOffset + 2 == kRecordOffset);
static_assert(kRecordOffset + kRecordMax < kRecordAreaEnd, "the record keeps a zero at 0x9FF");
static_assert(kRecordAreaEnd == kBiosProgramOffset);
static_assert(kBiosProgramOffset == kBiosLoadLba * kLayoutSectorSize);
static_assert(kBiosProgramOffset + kBiosProgramMax == kScreenTextOffset);
static_assert(kScreenTextOffset + kScreenTextMax <
                  (kBiosLoadLba + kBiosLoadSectors) * kLayoutSectorSize,
              "the text and its zero stay inside the 8 sectors the MBR loads");
static_assert(kMbrReadPacket[2] == kBiosLoadSectors && kMbrReadPacket[8] == kBiosLoadLba);
static_assert(kEspOffset == 0x8000);
static_assert(kScreenTextOffset + kScreenTextMax <= kEspOffset);
static_assert(kFat1Offset == kEspOffset + kFatReservedSectors * kLayoutSectorSize);
static_assert(kFat2Offset == kFat1Offset + kFatBytes);
static_assert(kRootDirOffset == kFat2Offset + kFatBytes);
static_assert(kDataOffset == kRootDirOffset + kRootEntryCount * kDirEntrySize);
static_assert(kDataOffset == 161 * kLayoutSectorSize, "data area starts at disk LBA 161");
static_assert(kLastImageCluster == 96);
static_assert(ClusterOffset(kLastImageCluster) + kClusterSize == kStampImageBytes);
// The volume must count as FAT16: 4085 <= data clusters < 65525.
static_assert((kEspSectorCount - (kDataOffset - kEspOffset) / kLayoutSectorSize) == 8095);
// Every data cluster of the volume has an entry in one FAT.
static_assert(kFatBytes / 2 >= 8095 + 2);

static_assert(kEsp512.DataOffset() == kDataOffset && kEsp512.Fat2Offset() == kFat2Offset);
static_assert(kEsp512.LastImageCluster() == kLastImageCluster);
static_assert(kEsp4096.EspOffset() == kEspOffset, "both volumes start behind the BIOS area");
static_assert(kEsp4096.DataOffset() == 0x15000);
// FAT16 by the cluster-count rule, and every data cluster has an entry in one FAT.
static_assert(kEsp4096.DataClusters() >= 4085 && kEsp4096.DataClusters() < 65525);
static_assert(kEsp4096.FatBytes() / 2 >= kEsp4096.DataClusters() + 2);
// The two directories and the three files (3 + 3 + 1 clusters) fit inside the image.
static_assert(kEsp4096.LastImageCluster() >= kFirstFileCluster + 7 - 1);

}  // namespace tvde
