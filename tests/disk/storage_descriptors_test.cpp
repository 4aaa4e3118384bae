// Parsing of the storage answers from byte buffers laid out like the Windows structures.
#include "disk/storage_descriptors.h"

#include <gtest/gtest.h>

#include "disk_structures.h"

namespace tvde {
namespace {

using testing::DescriptorBytes;
using testing::ExtentsBytes;
using testing::GeometryBytes;
using testing::SeekPenaltyBytes;

TEST(StorageDescriptor, ReadsIdentityBusAndRemovableFlag) {
  const auto bytes = DescriptorBytes(7, true, "SanDisk ", "  Ultra Fit  ", "1.00", " 4C530001 ");
  const auto facts = ParseStorageDeviceDescriptor(bytes);
  ASSERT_TRUE(facts.has_value());
  EXPECT_TRUE(facts->removable);
  EXPECT_EQ(facts->busType, 7u);
  EXPECT_EQ(facts->vendor, "SanDisk");
  EXPECT_EQ(facts->product, "Ultra Fit");
  EXPECT_EQ(facts->revision, "1.00");
  EXPECT_EQ(facts->serial, "4C530001");
  EXPECT_EQ(ComposeModel(facts->vendor, facts->product), "SanDisk Ultra Fit");

  const auto fixed = ParseStorageDeviceDescriptor(DescriptorBytes(11, false, nullptr, "X", "", ""));
  ASSERT_TRUE(fixed.has_value());
  EXPECT_FALSE(fixed->removable);
  EXPECT_EQ(fixed->busType, 11u);
}

TEST(StorageDescriptor, NeedsTheWholeFortyByteHeader) {
  auto bytes = DescriptorBytes(11, false, nullptr, nullptr, nullptr, nullptr);
  ASSERT_EQ(bytes.size(), 40u);
  EXPECT_TRUE(ParseStorageDeviceDescriptor(bytes).has_value());
  EXPECT_FALSE(ParseStorageDeviceDescriptor(std::span(bytes).first(39)).has_value());
  EXPECT_FALSE(ParseStorageDeviceDescriptor({}).has_value());
}

TEST(StorageDescriptor, ZeroOrOutOfRangeOffsetsGiveEmptyStrings) {
  auto bytes = DescriptorBytes(3, false, "ATA", "ST2000DM008", "0001", "ZFL1234");
  const size_t full = bytes.size();
  // Offset 0 means "not reported" even though byte 0 is not a zero.
  PutLe32(std::span(bytes).subspan(12), 0);
  // Serial offset pointing exactly at the end of the returned bytes, revision beyond it.
  PutLe32(std::span(bytes).subspan(24), static_cast<uint32_t>(full));
  PutLe32(std::span(bytes).subspan(20), 5000);
  const auto facts = ParseStorageDeviceDescriptor(bytes);
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->vendor, "");
  EXPECT_EQ(facts->product, "ST2000DM008");
  EXPECT_EQ(facts->revision, "");
  EXPECT_EQ(facts->serial, "");
}

TEST(StorageDescriptor, AStringWithoutTerminatorStopsAtTheReturnedBytes) {
  auto bytes = DescriptorBytes(17, false, nullptr, "Samsung SSD 980", nullptr, nullptr);
  bytes.pop_back();  // drop the product's zero: the answer ends inside the string
  bytes.push_back('X');
  const auto facts = ParseStorageDeviceDescriptor(bytes);
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->product, "Samsung SSD 980X");
  // A shorter returned count cuts the string where the answer ended.
  const auto cut = ParseStorageDeviceDescriptor(std::span(bytes).first(40 + 7));
  ASSERT_TRUE(cut.has_value());
  EXPECT_EQ(cut->product, "Samsung");
}

TEST(StorageDescriptor, BlankVendorAndPaddedProductGiveTheBareProductAsModel) {
  const auto facts = ParseStorageDeviceDescriptor(
      DescriptorBytes(11, false, "        ", "  CT500MX500SSD1  ", "M3CR046 ", "\t2045E4C1A2B3\n"));
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->vendor, "");
  EXPECT_EQ(ComposeModel(facts->vendor, facts->product), "CT500MX500SSD1");
  EXPECT_EQ(facts->revision, "M3CR046");
  EXPECT_EQ(facts->serial, "2045E4C1A2B3");
}

TEST(TrimAscii, RemovesCSpaceCharactersAtBothEndsOnly) {
  EXPECT_EQ(TrimAscii(nullptr), "");
  EXPECT_EQ(TrimAscii(""), "");
  EXPECT_EQ(TrimAscii(" \t\r\n\v\f"), "");
  EXPECT_EQ(TrimAscii("  WDC  WD10EZEX \n"), "WDC  WD10EZEX");
  EXPECT_EQ(TrimAscii("NoSpace"), "NoSpace");
  EXPECT_EQ(TrimAscii("\xA0Latin\xA0"), "\xA0Latin\xA0");  // only ASCII white space
}

TEST(DriveGeometry, ReadsDiskSizeAndSectorSize) {
  const auto geometry = ParseDriveGeometryEx(GeometryBytes(2000398934016ull, 4096));
  ASSERT_TRUE(geometry.has_value());
  EXPECT_EQ(geometry->diskSize, 2000398934016ull);
  EXPECT_EQ(geometry->bytesPerSector, 4096u);
  const auto zeroSector = ParseDriveGeometryEx(GeometryBytes(64ull << 30, 0));
  ASSERT_TRUE(zeroSector.has_value());
  EXPECT_EQ(zeroSector->bytesPerSector, 512u);
  EXPECT_EQ(zeroSector->diskSize, 64ull << 30);
  const auto bytes = GeometryBytes(1ull << 40, 512);
  EXPECT_FALSE(ParseDriveGeometryEx(std::span(bytes).first(31)).has_value());
}

TEST(SeekPenalty, NeedsTwelveBytesAndReadsTheFlag) {
  EXPECT_EQ(ParseSeekPenalty(SeekPenaltyBytes(true)), std::optional<bool>(true));
  EXPECT_EQ(ParseSeekPenalty(SeekPenaltyBytes(false)), std::optional<bool>(false));
  const auto bytes = SeekPenaltyBytes(true);
  EXPECT_EQ(ParseSeekPenalty(std::span(bytes).first(11)), std::nullopt);
}

TEST(VolumeExtents, ListsTheDiskOfEveryCompleteExtent) {
  EXPECT_EQ(ParseVolumeDiskExtents(ExtentsBytes({3})), (std::vector<int32_t>{3}));
  EXPECT_EQ(ParseVolumeDiskExtents(ExtentsBytes({1, 2})), (std::vector<int32_t>{1, 2}));
  EXPECT_TRUE(ParseVolumeDiskExtents(ExtentsBytes({})).empty());
  // The count claims two extents but only one came back.
  auto two = ExtentsBytes({4, 5});
  EXPECT_EQ(ParseVolumeDiskExtents(std::span(two).first(32)), (std::vector<int32_t>{4}));
  EXPECT_TRUE(ParseVolumeDiskExtents(std::span(two).first(31)).empty());
  EXPECT_TRUE(ParseVolumeDiskExtents(std::span(two).first(7)).empty());
}

TEST(BusKind, MapsEveryStorageBusType) {
  const BusKind expected[] = {
      BusKind::Unknown,  // 0 unknown
      BusKind::ScsiSas,  // 1 SCSI
      BusKind::Unknown,  // 2 ATAPI
      BusKind::Sata,     // 3 ATA
      BusKind::Unknown,  // 4 1394
      BusKind::Unknown,  // 5 SSA
      BusKind::ScsiSas,  // 6 Fibre Channel
      BusKind::Usb,      // 7 USB
      BusKind::Raid,     // 8 RAID
      BusKind::ScsiSas,  // 9 iSCSI
      BusKind::ScsiSas,  // 10 SAS
      BusKind::Sata,     // 11 SATA
      BusKind::SdCard,   // 12 SD
      BusKind::Mmc,      // 13 MMC
      BusKind::Virtual,  // 14 virtual
      BusKind::Virtual,  // 15 file-backed virtual
      BusKind::Raid,     // 16 Storage Spaces
      BusKind::Nvme,     // 17 NVMe
      BusKind::Unknown,  // 18 SCM
      BusKind::Unknown,  // 19 UFS
  };
  for (uint32_t v = 0; v < std::size(expected); ++v)
    EXPECT_EQ(BusKindFromStorageBusType(v), expected[v]) << "bus type " << v;
  EXPECT_EQ(BusKindFromStorageBusType(0x7F), BusKind::Unknown);
  EXPECT_EQ(BusKindFromStorageBusType(0xFFFFFFFF), BusKind::Unknown);
}

TEST(MediaKind, FollowsBusRemovableFlagAndSeekPenalty) {
  int asked = 0;
  const auto answer = [&](std::optional<bool> value) {
    return [&asked, value]() {
      ++asked;
      return value;
    };
  };
  // Decided without asking for the seek penalty.
  EXPECT_EQ(DetermineMediaKind(BusKind::Nvme, true, answer(true)), MediaKind::NvmeSsd);
  EXPECT_EQ(DetermineMediaKind(BusKind::Sata, true, answer(true)), MediaKind::Removable);
  EXPECT_EQ(DetermineMediaKind(BusKind::SdCard, false, answer(true)), MediaKind::Removable);
  EXPECT_EQ(DetermineMediaKind(BusKind::Mmc, false, answer(false)), MediaKind::Removable);
  EXPECT_EQ(asked, 0);
  // Decided by the seek penalty.
  EXPECT_EQ(DetermineMediaKind(BusKind::Sata, false, answer(true)), MediaKind::Hdd);
  EXPECT_EQ(DetermineMediaKind(BusKind::Sata, false, answer(false)), MediaKind::Ssd);
  EXPECT_EQ(DetermineMediaKind(BusKind::Usb, false, answer(false)), MediaKind::Ssd);
  EXPECT_EQ(DetermineMediaKind(BusKind::Usb, false, answer(std::nullopt)), MediaKind::Removable);
  EXPECT_EQ(DetermineMediaKind(BusKind::ScsiSas, false, answer(std::nullopt)), MediaKind::Hdd);
  EXPECT_EQ(DetermineMediaKind(BusKind::Unknown, false, answer(std::nullopt)), MediaKind::Hdd);
  EXPECT_EQ(asked, 6);
}

}  // namespace
}  // namespace tvde
