// Lays out the stamp image byte for byte: MBR, StampRecord, BIOS program and text, FAT16 volume.
#include "stamp/stamp_image.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "stamp/efi_report_block.h"
#include "stamp/report_screen_text.h"
#include "stamp/stamp_layout.h"
#include "stamp/stamp_texts.h"

namespace tvde {
namespace {

constexpr std::string_view kOemName = "TOREVAL ";
constexpr std::string_view kVolumeLabel = "TVDE_STAMP ";
constexpr std::string_view kFsType = "FAT16   ";
constexpr uint32_t kVolumeSerial = 0x20261023;

void CopyBytes(std::span<uint8_t> image, size_t offset, std::span<const uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<ptrdiff_t>(offset));
}

// Copies at most `limit` bytes of the text; the zero behind it is already in the buffer.
void CopyText(std::span<uint8_t> image, size_t offset, std::string_view text, size_t limit) {
  const std::string_view cut = text.substr(0, std::min(text.size(), limit));
  std::copy(cut.begin(), cut.end(), image.begin() + static_cast<ptrdiff_t>(offset));
}

void WritePartitionEntry(std::span<uint8_t> entry, const EspGeometry& esp) {
  entry[0] = 0x80;  // active
  entry[1] = 0x01;  // first CHS: fixed values, not derived from any geometry
  entry[2] = 0x01;
  entry[3] = 0x00;
  entry[4] = 0xEF;  // EFI System
  entry[5] = 0xFE;  // last CHS
  entry[6] = 0x3F;
  entry[7] = 0x04;
  PutLe32(entry.subspan(8), esp.firstLba);
  PutLe32(entry.subspan(12), esp.sectorCount);
}

void WriteBootSector(std::span<uint8_t> sector, const EspGeometry& esp) {
  sector[0x00] = 0xEB;  // jump over the BPB; the volume carries no boot code
  sector[0x01] = 0x3C;
  sector[0x02] = 0x90;
  CopyText(sector, 0x03, kOemName, 8);
  PutLe16(sector.subspan(0x0B), static_cast<uint16_t>(esp.sectorSize));
  sector[0x0D] = 1;  // sectors per cluster
  PutLe16(sector.subspan(0x0E), kFatReservedSectors);
  sector[0x10] = kFatCount;
  PutLe16(sector.subspan(0x11), kRootEntryCount);
  PutLe16(sector.subspan(0x13), static_cast<uint16_t>(esp.sectorCount));
  sector[0x15] = 0xF8;  // fixed disk
  PutLe16(sector.subspan(0x16), esp.fatSectors);
  PutLe16(sector.subspan(0x18), 63);            // sectors per track
  PutLe16(sector.subspan(0x1A), 255);           // heads
  PutLe32(sector.subspan(0x1C), esp.firstLba);  // hidden sectors in front of the volume
  PutLe32(sector.subspan(0x20), 0);             // 32-bit total: the 16-bit field holds it
  sector[0x24] = 0x80;
  sector[0x26] = 0x29;  // extended boot signature
  PutLe32(sector.subspan(0x27), kVolumeSerial);
  CopyText(sector, 0x2B, kVolumeLabel, 11);
  CopyText(sector, 0x36, kFsType, 8);
  sector[0x1FE] = 0x55;
  sector[0x1FF] = 0xAA;
}

// A standard short entry without any time stamps.
void WriteDirEntry(std::span<uint8_t> entry, std::string_view name83, uint8_t attributes,
                   uint16_t cluster, uint32_t size) {
  std::fill(entry.begin(), entry.begin() + kDirEntrySize, uint8_t{0});
  CopyText(entry, 0, name83, 11);
  entry[11] = attributes;
  PutLe16(entry.subspan(26), cluster);
  PutLe32(entry.subspan(28), size);
}

std::span<uint8_t> DirSlot(std::span<uint8_t> image, size_t directoryOffset, size_t slot) {
  return image.subspan(directoryOffset + slot * kDirEntrySize, kDirEntrySize);
}

void PutFatEntry(std::span<uint8_t> image, const EspGeometry& esp, uint32_t cluster,
                 uint16_t value) {
  PutLe16(image.subspan(esp.Fat1Offset() + size_t{cluster} * 2), value);
}

}  // namespace

size_t StampImageLength(uint32_t bytesPerSector) {
  const size_t sector = std::max<size_t>(kLayoutSectorSize, bytesPerSector);
  return (kStampImageBytes + sector - 1) / sector * sector;
}

bool AddFatFile(FatVolume& volume, std::string_view name83, std::span<const uint8_t> data,
                std::span<uint8_t> directoryEntry) {
  if (name83.size() != 11 || directoryEntry.size() < kDirEntrySize) return false;
  if (volume.image.size() < kStampImageBytes || volume.geometry == nullptr) return false;
  const EspGeometry& esp = *volume.geometry;
  const uint32_t first = volume.nextFreeCluster;
  const size_t clusters = std::max<size_t>(1, (data.size() + esp.sectorSize - 1) / esp.sectorSize);
  if (first < kFirstFileCluster || first + clusters - 1 > esp.LastImageCluster()) return false;

  WriteDirEntry(directoryEntry, name83, kAttrArchive, static_cast<uint16_t>(first),
                static_cast<uint32_t>(data.size()));
  CopyBytes(volume.image, esp.ClusterOffset(first), data);
  const uint32_t last = first + static_cast<uint32_t>(clusters) - 1;
  for (uint32_t c = first; c < last; ++c) {
    PutFatEntry(volume.image, esp, c, static_cast<uint16_t>(c + 1));
  }
  PutFatEntry(volume.image, esp, last, kFatEndOfChain);
  volume.nextFreeCluster = static_cast<uint16_t>(last + 1);
  return true;
}

bool AssembleStampImage(std::span<uint8_t> image, const StampImageParts& parts) {
  return AssembleStampImage(image, parts, kEsp512);
}

bool AssembleStampImage(std::span<uint8_t> image, const StampImageParts& parts,
                        const EspGeometry& esp) {
  if (image.size() < kStampImageBytes) return false;
  if (parts.mbrBootCode.size() != kMbrCodeSize) return false;
  if (parts.biosReportProgram.size() > kBiosProgramMax) return false;
  std::fill(image.begin(), image.end(), uint8_t{0});

  // LBA 0: boot code, read packet, fallback message, partition table, signature.
  CopyBytes(image, kMbrCodeOffset, parts.mbrBootCode);
  CopyBytes(image, kMbrPacketOffset, kMbrReadPacket);
  CopyText(image, kMbrMessageOffset, parts.mbrMessage, kMbrMessageMax);
  WritePartitionEntry(image.subspan(kMbrPartitionOffset, kMbrPartitionEntrySize), esp);
  image[kMbrSignatureOffset] = 0x55;
  image[kMbrSignatureOffset + 1] = 0xAA;

  // LBA 1..4: the machine-readable record; LBA 5..12: BIOS program and its text.
  CopyText(image, kRecordOffset, parts.stampRecord, kRecordMax);
  CopyBytes(image, kBiosProgramOffset, parts.biosReportProgram);
  const std::string_view screenText =
      parts.screenText.substr(0, std::min(parts.screenText.size(), kScreenTextMax));
  CopyText(image, kScreenTextOffset, screenText, kScreenTextMax);

  // The EFI System Partition: boot sector, reserved FAT entries, directories.
  WriteBootSector(image.subspan(esp.EspOffset(), esp.sectorSize), esp);
  PutFatEntry(image, esp, 0, kFatMediaEntry);
  PutFatEntry(image, esp, 1, kFatEndOfChain);
  PutFatEntry(image, esp, kEfiDirCluster, kFatEndOfChain);
  PutFatEntry(image, esp, kEfiBootDirCluster, kFatEndOfChain);

  const size_t root = esp.RootDirOffset();
  WriteDirEntry(DirSlot(image, root, 0), kVolumeLabel, kAttrVolumeLabel, 0, 0);
  WriteDirEntry(DirSlot(image, root, 1), "EFI        ", kAttrDirectory, kEfiDirCluster, 0);
  const size_t efiDir = esp.ClusterOffset(kEfiDirCluster);
  WriteDirEntry(DirSlot(image, efiDir, 0), ".          ", kAttrDirectory, kEfiDirCluster, 0);
  WriteDirEntry(DirSlot(image, efiDir, 1), "..         ", kAttrDirectory, 0, 0);
  WriteDirEntry(DirSlot(image, efiDir, 2), "BOOT       ", kAttrDirectory, kEfiBootDirCluster, 0);
  const size_t bootDir = esp.ClusterOffset(kEfiBootDirCluster);
  WriteDirEntry(DirSlot(image, bootDir, 0), ".          ", kAttrDirectory, kEfiBootDirCluster, 0);
  WriteDirEntry(DirSlot(image, bootDir, 1), "..         ", kAttrDirectory, kEfiDirCluster, 0);

  FatVolume volume{image, kFirstFileCluster, &esp};
  const auto text = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(screenText.data()),
                                             screenText.size());
  if (!AddFatFile(volume, "BOOTX64 EFI", parts.efiX64, DirSlot(image, bootDir, kBootX64Slot)) ||
      !AddFatFile(volume, "BOOTIA32EFI", parts.efiIa32, DirSlot(image, bootDir, kBootIa32Slot)) ||
      !AddFatFile(volume, "REPORT  TXT", text, DirSlot(image, bootDir, kReportTxtSlot))) {
    return false;
  }

  // FAT #2 is a copy of FAT #1 once every file is chained.
  std::copy_n(image.begin() + static_cast<ptrdiff_t>(esp.Fat1Offset()), esp.FatBytes(),
              image.begin() + static_cast<ptrdiff_t>(esp.Fat2Offset()));
  return true;
}

PageBuffer BuildStampImage(const StampPayload& payload, uint32_t bytesPerSector,
                           const BootPrograms& programs) {
  const EspGeometry* esp = EspGeometryFor(bytesPerSector);
  if (esp == nullptr) return {};
  const EfiReportBlock block = BuildEfiReportBlock(payload);
  std::vector<uint8_t> efiX64(programs.efiReportX64.begin(), programs.efiReportX64.end());
  std::vector<uint8_t> efiIa32(programs.efiReportIa32.begin(), programs.efiReportIa32.end());
  if (!PatchEfiImage(efiX64, block) || !PatchEfiImage(efiIa32, block)) return {};

  const std::string record = BuildStampRecord(payload);
  const std::string screenText = BuildReportScreenText(block, payload);
  const std::string message = BuildMbrMessage(payload);

  PageBuffer image = PageBuffer::Allocate(StampImageLength(bytesPerSector));
  if (!image.valid()) return {};
  const StampImageParts parts{programs.mbrBootCode,
                              programs.biosReportProgram,
                              message,
                              record,
                              screenText,
                              efiX64,
                              efiIa32};
  if (!AssembleStampImage(image.span(), parts, *esp)) return {};
  return image;
}

}  // namespace tvde
