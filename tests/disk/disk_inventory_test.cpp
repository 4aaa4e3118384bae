// The enumeration walk on a machine described by tables: identity, size, media kind, letters,
// boot medium and classification, and which devices it opens.
#include "disk/disk_inventory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "disk_structures.h"
#include "fake_disk_system.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::DescriptorBytes;
using ::testing::ElementsAre;
using testing::ExtentsBytes;
using testing::FakeDisk;
using testing::FakeDiskSystem;
using testing::FakeMachine;
using testing::GeometryBytes;
using testing::SeekPenaltyBytes;
using testing::U8;

constexpr uint64_t kGiB = 1ull << 30;

// Disk 0: SATA HDD with C: and D:; disk 1: NVMe without letters; disk 2: USB stick with E:;
// disk 4: SATA SSD with F:. Disk 3 cannot be opened; disks 5 and 6 have no readable size.
FakeMachine OfficePc() {
  FakeMachine m;
  m.roots = std::vector<std::wstring>{L"C:\\", L"D:\\", L"E:\\", L"F:\\", L"Z:\\"};
  m.volumes[L'C'] = ExtentsBytes({0});
  m.volumes[L'D'] = ExtentsBytes({0});
  m.volumes[L'E'] = ExtentsBytes({2});
  m.volumes[L'F'] = ExtentsBytes({4});
  m.disks[0] = {DescriptorBytes(11, false, "", "ST2000DM008-2FR102", "0001", "ZFL0AB12"),
                GeometryBytes(2000398934016ull, 512), SeekPenaltyBytes(true)};
  m.disks[1] = {
      DescriptorBytes(17, false, nullptr, "Samsung SSD 980 1TB", "1B4QFXO7", "S649NF0R123456"),
      GeometryBytes(1000204886016ull, 512), std::nullopt};
  m.disks[2] = {DescriptorBytes(7, true, "SanDisk", "Ultra Fit", "1.00", "4C530001"),
                GeometryBytes(32 * kGiB, 512), std::nullopt};
  m.disks[4] = {DescriptorBytes(11, false, "", "CT500MX500SSD1", "M3CR046", "2045E4C1"),
                GeometryBytes(500107862016ull, 4096), SeekPenaltyBytes(false)};
  m.disks[5] = {DescriptorBytes(7, true, "Generic", "Card Reader", "", ""), std::nullopt,
                std::nullopt};
  m.disks[6] = {DescriptorBytes(7, true, "Generic", "Empty Slot", "", ""), GeometryBytes(0, 512),
                std::nullopt};
  return m;
}

std::vector<int32_t> Numbers(const std::vector<DiskInfo>& disks) {
  std::vector<int32_t> out;
  for (const auto& d : disks)
    out.push_back(d.diskNumber);
  return out;
}

TEST(DiskInventory, ListsReadableDisksWithTheirIdentityInIncreasingOrder) {
  FakeMachine machine = OfficePc();
  FakeDiskSystem system(machine);
  const auto disks = EnumeratePhysicalDisksWith(system, 0, 0);
  ASSERT_THAT(Numbers(disks), ElementsAre(0, 1, 2, 4));

  EXPECT_EQ(U8(disks[0].devicePath), "\\\\.\\PhysicalDrive0");
  EXPECT_EQ(U8(disks[0].model), "ST2000DM008-2FR102");
  EXPECT_EQ(U8(disks[0].serialNumber), "ZFL0AB12");
  EXPECT_EQ(U8(disks[0].firmwareRevision), "0001");
  EXPECT_EQ(disks[0].sizeBytes, 2000398934016ull);
  EXPECT_EQ(disks[0].busType, BusKind::Sata);
  EXPECT_EQ(disks[0].mediaType, MediaKind::Hdd);
  EXPECT_EQ(U8(disks[0].driveLetters), "C:, D:");

  EXPECT_EQ(U8(disks[1].model), "Samsung SSD 980 1TB");
  EXPECT_EQ(disks[1].mediaType, MediaKind::NvmeSsd);
  EXPECT_EQ(U8(disks[1].driveLetters), "(未割当/マウントなし)");

  EXPECT_EQ(U8(disks[2].model), "SanDisk Ultra Fit");
  EXPECT_EQ(disks[2].busType, BusKind::Usb);
  EXPECT_EQ(disks[2].mediaType, MediaKind::Removable);
  EXPECT_EQ(U8(disks[2].driveLetters), "E:");

  EXPECT_EQ(disks[3].bytesPerSector, 4096u);
  EXPECT_EQ(disks[3].mediaType, MediaKind::Ssd);
  EXPECT_EQ(U8(disks[3].model), "CT500MX500SSD1");

  // Every number 0..31 is tried once; no other disk is opened.
  std::vector<int32_t> all(32);
  for (int32_t i = 0; i < 32; ++i)
    all[i] = i;
  EXPECT_EQ(machine.openedDisks, all);
}

TEST(DiskInventory, ClassifiesInNormalWindowsLockedAndUnlocked) {
  FakeMachine machine = OfficePc();
  FakeDiskSystem system(machine);
  const auto locked = EnumeratePhysicalDisksWith(system, 0, 0);
  EXPECT_EQ(locked[0].safetyStatus, SafetyStatus::ProtectedSystemDisk);
  EXPECT_EQ(locked[1].safetyStatus, SafetyStatus::LockedInternal);
  EXPECT_EQ(locked[2].safetyStatus, SafetyStatus::Erasable);
  EXPECT_EQ(locked[3].safetyStatus, SafetyStatus::LockedInternal);
  // Normal Windows never looks for the boot medium.
  for (const auto& query : machine.queries)
    EXPECT_EQ(query.find("file "), std::string::npos) << query;

  const auto unlocked = EnumeratePhysicalDisksWith(system, 0, 1);
  EXPECT_EQ(unlocked[0].safetyStatus, SafetyStatus::ProtectedSystemDisk);
  EXPECT_EQ(unlocked[1].safetyStatus, SafetyStatus::ErasableSecondary);
  EXPECT_EQ(unlocked[2].safetyStatus, SafetyStatus::Erasable);
  EXPECT_EQ(unlocked[3].safetyStatus, SafetyStatus::ErasableSecondary);
}

TEST(DiskInventory, WinPEProtectsTheStickWithBootWimAndFreesTheInternalDisks) {
  FakeMachine machine = OfficePc();
  machine.systemDirectory = L"X:\\Windows\\system32";  // the RAM disk: no extents
  machine.files = {L"E:\\sources\\boot.wim"};
  FakeDiskSystem system(machine);
  const auto disks = EnumeratePhysicalDisksWith(system, 1, 0);
  ASSERT_THAT(Numbers(disks), ElementsAre(0, 1, 2, 4));
  EXPECT_THAT(machine.queries, ::testing::Contains("file E:\\sources\\boot.wim"));
  EXPECT_EQ(disks[0].safetyStatus, SafetyStatus::Erasable);
  EXPECT_EQ(U8(disks[0].safetyReason),
            "WinPEモード: 内蔵・外部ストレージとして安全に完全消去可能です。");
  EXPECT_EQ(disks[1].safetyStatus, SafetyStatus::Erasable);
  EXPECT_EQ(disks[2].safetyStatus, SafetyStatus::ProtectedBootMedia);
  EXPECT_EQ(disks[3].safetyStatus, SafetyStatus::Erasable);
}

TEST(DiskInventory, AnUnreadableSystemVolumeMakesDiskZeroTheSystemDisk) {
  FakeMachine machine = OfficePc();
  machine.systemDirectory = L"G:\\Windows\\system32";  // G: answers no extents
  machine.volumes[L'C'] = ExtentsBytes({4});           // C: now lies on disk 4
  FakeDiskSystem system(machine);
  const auto disks = EnumeratePhysicalDisksWith(system, 0, 1);
  EXPECT_EQ(disks[0].safetyStatus, SafetyStatus::ProtectedSystemDisk);  // number 0 fallback
  EXPECT_EQ(U8(disks[0].driveLetters), "D:");
  EXPECT_EQ(disks[3].safetyStatus, SafetyStatus::ProtectedSystemDisk);  // carries C:
  EXPECT_EQ(disks[1].safetyStatus, SafetyStatus::ErasableSecondary);

  machine.systemDirectory = std::nullopt;
  EXPECT_EQ(FindSystemDiskNumberWith(system), 0);
  machine.systemDirectory = L"F:\\Windows\\system32";
  EXPECT_EQ(FindSystemDiskNumberWith(system), 4);
}

TEST(DiskInventory, ASpannedSystemVolumeIsAskedAgainWithRoomForEveryExtent) {
  FakeMachine machine = OfficePc();
  machine.volumes[L'C'] = ExtentsBytes({3, 0, 4});  // "more data" in the one-extent buffer
  FakeDiskSystem system(machine);
  EXPECT_EQ(FindSystemDiskNumberWith(system), 3);
  EXPECT_THAT(machine.queries, ElementsAre("volume C 32", "volume C 80"));

  machine.disks[3] = machine.disks[1];
  const auto disks = EnumeratePhysicalDisksWith(system, 0, 1);
  // Every disk of the system volume is the running system's, not only the first.
  for (const DiskInfo& disk : disks) {
    const bool onSystem = disk.diskNumber == 0 || disk.diskNumber == 3 || disk.diskNumber == 4;
    EXPECT_EQ(disk.safetyStatus == SafetyStatus::ProtectedSystemDisk, onSystem) << disk.diskNumber;
  }
}

TEST(DiskInventory, FailedDescriptorLeavesDefaultsAndMediaFromSeekPenalty) {
  FakeMachine machine;
  machine.disks[0] = {std::nullopt, GeometryBytes(8 * kGiB, 0), std::nullopt};
  machine.disks[1] = {std::vector<uint8_t>(39, 0), GeometryBytes(8 * kGiB, 512),
                      SeekPenaltyBytes(false)};
  FakeDiskSystem system(machine);
  const auto disks = EnumeratePhysicalDisksWith(system, 0, 0);
  ASSERT_EQ(disks.size(), 2u);
  for (const DiskInfo& disk : disks) {
    EXPECT_EQ(U8(disk.model), "Generic Physical Disk");
    EXPECT_EQ(U8(disk.serialNumber), "N/A");
    EXPECT_EQ(U8(disk.firmwareRevision), "");
    EXPECT_EQ(disk.busType, BusKind::Unknown);
    EXPECT_EQ(disk.bytesPerSector, 512u);
  }
  EXPECT_EQ(disks[0].mediaType, MediaKind::Hdd);  // seek query failed on a non-USB bus
  EXPECT_EQ(disks[1].mediaType, MediaKind::Ssd);
}

TEST(DiskInventory, ModelSerialAndRevisionComeFromTheAnsiCodePage) {
  FakeMachine machine;
  machine.disks[7] = {DescriptorBytes(7, false, "\x80Tech ", " Flash\x80 ", " R\x80 ", "  "),
                      GeometryBytes(16 * kGiB, 512), std::vector<uint8_t>(8, 0)};
  FakeDiskSystem system(machine);
  const auto disk = ReadPhysicalDisk(system, 7);
  ASSERT_TRUE(disk.has_value());
  EXPECT_EQ(U8(disk->model), "€Tech Flash€");
  EXPECT_EQ(U8(disk->firmwareRevision), "R€");
  EXPECT_EQ(U8(disk->serialNumber), "N/A");  // blank serial
  // A seek-penalty answer shorter than 12 bytes counts as no answer: USB gives removable.
  EXPECT_EQ(disk->mediaType, MediaKind::Removable);
}

TEST(DiskInventory, TheDescriptorIsReadWithTheSizeItsHeaderAnnounces) {
  FakeMachine machine;
  // A product text long enough to push the serial number past 1024 bytes.
  const std::string product(1100, 'P');
  machine.disks[0] = {DescriptorBytes(11, false, "", product.c_str(), "R1", "SERIAL-AT-END"),
                      GeometryBytes(8 * kGiB, 512), SeekPenaltyBytes(true)};
  FakeDiskSystem system(machine);
  const auto disk = ReadPhysicalDisk(system, 0);
  ASSERT_TRUE(disk.has_value());
  EXPECT_EQ(U8(disk->serialNumber), "SERIAL-AT-END");
  EXPECT_EQ(disk->model.size(), 1100u);
  EXPECT_EQ(machine.queries[0], "disk 0 descriptor 8");
  EXPECT_EQ(machine.queries[1], "disk 0 descriptor 1159");
}

TEST(DiskInventory, SeekPenaltyIsAskedOnlyWhenBusAndFlagDoNotDecide) {
  FakeMachine machine = OfficePc();
  FakeDiskSystem system(machine);
  EnumeratePhysicalDisksWith(system, 0, 0);
  std::vector<std::string> seekQueries;
  for (const auto& q : machine.queries)
    if (q.find("seek") != std::string::npos) seekQueries.push_back(q);
  // Disk 1 is NVMe and disks 2, 5, 6 report removable media.
  EXPECT_THAT(seekQueries, ElementsAre("disk 0 seek", "disk 4 seek"));
}

TEST(DiskInventory, ASpannedVolumeIsListedOnEveryDiskItTouches) {
  FakeMachine machine = OfficePc();
  machine.roots = std::vector<std::wstring>{L"C:\\", L"G:\\", L"H:\\"};
  machine.volumes[L'G'] = ExtentsBytes({1, 4});
  machine.volumes[L'H'] = ExtentsBytes({4, 1, 4});
  FakeDiskSystem system(machine);
  std::vector<DiskInfo> disks(5);
  for (int32_t i = 0; i < 5; ++i)
    disks[i].diskNumber = i;
  AssignDriveLettersWith(system, disks);
  EXPECT_EQ(U8(disks[0].driveLetters), "C:");
  EXPECT_EQ(U8(disks[1].driveLetters), "G:, H:");
  EXPECT_EQ(U8(disks[4].driveLetters), "G:, H:, H:");  // once per extent
  EXPECT_EQ(U8(disks[2].driveLetters), "");
  EXPECT_THAT(machine.queries, ElementsAre("volume C 32", "volume G 32", "volume G 56",
                                           "volume H 32", "volume H 80"));
}

TEST(DiskInventory, LettersSkipShortRootsFailedVolumesAndUnreadableRootLists) {
  FakeMachine machine = OfficePc();
  machine.roots = std::vector<std::wstring>{L"E", L"Q:\\", L"E:\\"};
  FakeDiskSystem system(machine);
  std::vector<DiskInfo> disks(3);
  for (int32_t i = 0; i < 3; ++i)
    disks[i].diskNumber = i;
  AssignDriveLettersWith(system, disks);
  EXPECT_EQ(U8(disks[2].driveLetters), "E:");
  EXPECT_THAT(machine.queries, ElementsAre("volume Q 32", "volume E 32"));

  machine.roots = std::nullopt;
  std::vector<DiskInfo> untouched(1);
  untouched[0].diskNumber = 0;
  AssignDriveLettersWith(system, untouched);
  EXPECT_EQ(U8(untouched[0].driveLetters), "");
}

TEST(DiskInventory, DisksWithoutSizeAreDroppedAndUnopenableOnesSkipped) {
  FakeMachine machine = OfficePc();
  FakeDiskSystem system(machine);
  EXPECT_FALSE(ReadPhysicalDisk(system, 3).has_value());  // cannot be opened
  EXPECT_FALSE(ReadPhysicalDisk(system, 5).has_value());  // geometry query failed
  EXPECT_FALSE(ReadPhysicalDisk(system, 6).has_value());  // size 0
  machine.disks[8] = {std::nullopt, std::vector<uint8_t>(31, 0xFF), std::nullopt};
  EXPECT_FALSE(ReadPhysicalDisk(system, 8).has_value());  // geometry answer too short
  const auto fresh = ReadPhysicalDisk(system, 2);
  ASSERT_TRUE(fresh.has_value());
  // Unclassified records stay protected until the classification has run.
  EXPECT_EQ(fresh->safetyStatus, SafetyStatus::ProtectedSystemDisk);
}

}  // namespace
}  // namespace tvde
