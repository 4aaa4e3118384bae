// Fixtures of the stamp tests.
#include "stamp_test_support.h"

#include <algorithm>

namespace tvde::testing {
namespace {

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

void PlaceMagic(std::vector<uint8_t>& image, size_t offset) {
  const std::string magic = "TVDE_EFI_STAMP_V2_MAGIC";
  std::copy(magic.begin(), magic.end(), image.begin() + static_cast<ptrdiff_t>(offset));
  image[offset + magic.size()] = 0;
}

}  // namespace

StampPayload SamplePayload() {
  StampPayload p;
  p.incomplete = 0;
  p.certificateId = L"TVDE-20261023-A1B2C3";
  p.sanitizationDate = L"2026-10-23 14:05:09";
  p.softwareVersion = L"Toreval Disk Eraser Suite v1.3.0";
  p.standardName = L"DoD 5220.22-M (3 Passes - 米国国防総省標準)";
  p.verification = L"PASSED (64/64 samples clean)";
  p.diskModel = L"TVX SSD 512GB";
  p.diskSerial = L"S5R8NX0T123456";
  p.diskCapacity = L"476.94 GB";
  p.operatorName = L"山田\u3000太郎";
  p.organizationName = L"Toreval Tools Lab";
  p.sha256Fingerprint = L"9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
  p.stampState = L"Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)";
  p.passesCompleted = 3;
  HardwareProfile& h = p.hardware;
  h.manufacturer = L"Toreval Systems";
  h.chassisType = L"Notebook";
  h.model = L"TV-1000";
  h.serial = L"SN-0042";
  h.uuid = L"4C4C4544-0042-3010-8036-B2C04F4E3332";
  h.assetTag = L"None";
  h.processor = L"x86-64 Processor 4 Cores @ 1.60GHz";
  h.totalMemory = L"16.00 GB";
  h.disk = L"TVX SSD 512GB (476.94 GB)";
  h.diskGeometry = L"512 B/Sector, 1000215216 Sectors";
  h.graphicsCard = L"Standard VGA Adapter";
  h.soundCards = L"High Definition Audio";
  h.networkAdapters = L"Ethernet 00:11:22:33:44:55";
  h.motherboard = L"TV-MB100";
  h.biosInformation = L"TVBIOS 1.07 (2025-01-15)";
  h.storageController = L"Standard NVM Express Controller";
  return p;
}

SyntheticPrograms::SyntheticPrograms()
    : mbr(Pattern(kMbrBootCodeSize, 0x01)),
      bios(Pattern(84, 0x41)),
      x64(Pattern(kEfiReportX64Size, 0x10)),
      ia32(Pattern(kEfiReportIa32Size, 0x90)) {
  PlaceMagic(x64, kX64MagicOffset);
  PlaceMagic(ia32, kIa32MagicOffset);
}

BootPrograms SyntheticPrograms::view() const {
  return BootPrograms{mbr, bios, x64, ia32};
}

uint16_t Le16(std::span<const uint8_t> image, size_t offset) {
  return static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
}

uint32_t Le32(std::span<const uint8_t> image, size_t offset) {
  return static_cast<uint32_t>(image[offset]) | (static_cast<uint32_t>(image[offset + 1]) << 8) |
         (static_cast<uint32_t>(image[offset + 2]) << 16) |
         (static_cast<uint32_t>(image[offset + 3]) << 24);
}

std::string Bytes(std::span<const uint8_t> image, size_t offset, size_t count) {
  return std::string(image.begin() + static_cast<ptrdiff_t>(offset),
                     image.begin() + static_cast<ptrdiff_t>(offset + count));
}

std::string CString(std::span<const uint8_t> image, size_t offset) {
  const auto begin = image.begin() + static_cast<ptrdiff_t>(offset);
  return std::string(begin, std::find(begin, image.end(), uint8_t{0}));
}

}  // namespace tvde::testing
