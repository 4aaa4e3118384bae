// The disks the running system needs, found on machines described by tables: system volume,
// system partition, native-boot VHD host, page files, the WinPE boot medium and the folders of
// a running job; and the volume names they are reached through.
#include "disk/protected_disks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "disk/disk_classification.h"
#include "disk/disk_inventory.h"
#include "disk/volume_disks.h"
#include "disk/working_paths.h"
#include "disk_structures.h"
#include "fake_disk_system.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using ::testing::ElementsAre;
using testing::ExtentsBytes;
using testing::FakeDiskSystem;
using testing::FakeMachine;
using testing::GeometryBytes;
using testing::SeekPenaltyBytes;
using testing::U8;

constexpr const wchar_t* kSetup = L"SYSTEM\\Setup|SystemPartition";
constexpr const wchar_t* kPeSource = L"SYSTEM\\CurrentControlSet\\Control|PEBootRamdiskSourceDrive";
constexpr const wchar_t* kExistingPageFiles =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management|ExistingPageFiles";
constexpr const wchar_t* kPagingFiles =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management|PagingFiles";
constexpr const wchar_t* kVolume5 = L"\\\\?\\Volume{00000000-0000-0000-0000-000000000005}";

// Six internal SATA disks, 0..5, all unlocked; C: on disk 0.
FakeMachine SixDisks() {
  FakeMachine m;
  m.roots = std::vector<std::wstring>{L"C:\\"};
  m.volumes[L'C'] = ExtentsBytes({0});
  for (int32_t n = 0; n < 6; ++n) {
    m.disks[n] = {testing::DescriptorBytes(11, false, "", "Disk", "1", "S"),
                  GeometryBytes(8ull << 30, 512), SeekPenaltyBytes(true)};
  }
  return m;
}

struct Protected {
  int32_t disk;
  SafetyStatus status;
  const wchar_t* reason;
};

struct Case {
  const char* name;
  void (*arrange)(FakeMachine&);
  int32_t environmentMode;
  std::vector<Protected> expected;  // every other disk is writable
};

constexpr SafetyStatus kSystem = SafetyStatus::ProtectedSystemDisk;
constexpr SafetyStatus kBoot = SafetyStatus::ProtectedBootMedia;

TEST(ProtectedDisks, EachFactTheSystemDependsOnProtectsItsDisksWithItsOwnReason) {
  const Case cases[] = {
      {"system partition by its NT device name",
       [](FakeMachine& m) {
         m.registry[kSetup] = {L"\\Device\\HarddiskVolume1"};
         m.namedVolumes[L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1"] = ExtentsBytes({2});
       },
       0,
       {{0, kSystem, kReasonSystemDisk}, {2, kSystem, kReasonSystemPartition}}},
      {"native-boot VHD host of the system volume",
       [](FakeMachine& m) {
         m.vhdHosts[L"\\\\.\\C:"] = {L"\\\\?\\Volume{00000000-0000-0000-0000-000000000005}\\"};
         m.namedVolumes[kVolume5] = ExtentsBytes({3});
       },
       0,
       {{0, kSystem, kReasonSystemDisk}, {3, kSystem, kReasonVirtualDiskHost}}},
      {"page files, existing and configured, one spread over two disks",
       [](FakeMachine& m) {
         m.registry[kExistingPageFiles] = {L"\\??\\D:\\pagefile.sys"};
         m.registry[kPagingFiles] = {L"E:\\pagefile.sys 1024 4096", L"?:\\pagefile.sys"};
         m.pathVolumes[L"D:\\"] = L"\\\\.\\D:";
         m.pathVolumes[L"E:\\"] = kVolume5;
         m.volumes[L'D'] = ExtentsBytes({1});
         m.namedVolumes[kVolume5] = ExtentsBytes({4, 5});
       },
       0,
       {{0, kSystem, kReasonSystemDisk},
        {1, kSystem, kReasonPageFile},
        {4, kSystem, kReasonPageFile},
        {5, kSystem, kReasonPageFile}}},
      {"WinPE: the source drive value names the boot medium; boot.wim elsewhere is data",
       [](FakeMachine& m) {
         m.systemDirectory = L"X:\\Windows\\system32";  // RAM disk: no extents
         m.registry[kPeSource] = {L"E:\\"};
         m.volumes[L'E'] = ExtentsBytes({4});
         m.volumeNames =
             std::vector<std::wstring>{L"\\\\?\\Volume{00000000-0000-0000-0000-000000000005}\\"};
         m.files = {std::wstring(kVolume5) + L"\\sources\\boot.wim"};
         m.namedVolumes[kVolume5] = ExtentsBytes({2});
       },
       1,
       {{4, kBoot, kReasonBootMedia}}},
      {"WinPE without the value: every volume with boot.wim, letterless ones too",
       [](FakeMachine& m) {
         m.systemDirectory = L"X:\\Windows\\system32";
         m.registry[kPeSource] = {L"Q:\\"};  // names nothing with extents
         m.volumeNames = std::vector<std::wstring>{
             L"\\\\?\\Volume{00000000-0000-0000-0000-000000000005}\\", L"\\\\?\\Volume{E}\\"};
         m.files = {std::wstring(kVolume5) + L"\\sources\\boot.wim",
                    L"\\\\?\\Volume{E}\\sources\\boot.wim"};
         m.namedVolumes[kVolume5] = ExtentsBytes({2});
         m.namedVolumes[L"\\\\?\\Volume{E}"] = ExtentsBytes({5});
       },
       1,
       {{2, kBoot, kReasonBootMedia}, {5, kBoot, kReasonBootMedia}}},
      {"WinPE running from a disk instead of X:",
       [](FakeMachine& m) {
         m.systemDirectory = L"D:\\Windows\\system32";
         m.volumes[L'D'] = ExtentsBytes({3});
       },
       1,
       {{3, kBoot, kReasonWinPESystemFolder}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeMachine machine = SixDisks();
    c.arrange(machine);
    FakeDiskSystem system(machine);
    const std::vector<DiskInfo> disks = EnumeratePhysicalDisksWith(system, c.environmentMode, 1);
    ASSERT_EQ(disks.size(), 6u);
    for (const DiskInfo& disk : disks) {
      SCOPED_TRACE(disk.diskNumber);
      const auto expected = std::find_if(c.expected.begin(), c.expected.end(),
                                         [&](const auto& e) { return e.disk == disk.diskNumber; });
      if (expected == c.expected.end()) {
        EXPECT_TRUE(AllowsWrite(disk.safetyStatus));
        continue;
      }
      EXPECT_EQ(disk.safetyStatus, expected->status);
      EXPECT_EQ(U8(disk.safetyReason), U8(expected->reason));
    }
  }
}

TEST(VolumeNames, SystemNamesBecomeDevicePathsAndPageFileEntriesPlainPaths) {
  const std::pair<const wchar_t*, const char*> devices[] = {
      {L"e:", "\\\\.\\E:"},
      {L"E:\\", "\\\\.\\E:"},
      {L"\\??\\F:", "\\\\.\\F:"},
      {L"\\\\.\\g:", "\\\\.\\G:"},
      {L"\\\\?\\Volume{abc}\\", "\\\\?\\Volume{abc}"},
      {L"\\Device\\HarddiskVolume3", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume3"},
      {L"E:\\folder", ""},
      {L"\\\\.\\PhysicalDrive0", ""},
      {L"", ""},
  };
  for (const auto& [name, device] : devices)
    EXPECT_EQ(U8(VolumeDeviceForName(name)), device) << U8(name);

  const std::pair<const wchar_t*, const char*> pageFiles[] = {
      {L"\\??\\C:\\pagefile.sys", "C:\\pagefile.sys"},
      {L"C:\\pagefile.sys 0 0", "C:\\pagefile.sys"},
      {L"D:\\swap files\\pagefile.sys 16 2048", "D:\\swap files\\pagefile.sys"},
      {L"?:\\pagefile.sys", ""},
      {L"pagefile.sys", ""},
  };
  for (const auto& [entry, path] : pageFiles)
    EXPECT_EQ(U8(PageFilePath(entry)), path) << U8(entry);

  EXPECT_EQ(U8(VolumeDisplayName({L"E:\\", L"C:\\mnt\\e\\"}, L"\\\\?\\Volume{1}\\")), "E:");
  EXPECT_EQ(U8(VolumeDisplayName({L"C:\\mnt\\data\\"}, L"\\\\?\\Volume{1}\\")), "C:\\mnt\\data");
  EXPECT_EQ(U8(VolumeDisplayName({}, L"\\\\?\\Volume{1}\\")), "\\\\?\\Volume{1}\\");
}

TEST(VolumeExtents, AnExtentCountThatCannotBeBelievedOrAVolumeThatFailsGivesNothing) {
  FakeMachine machine;
  FakeDiskSystem system(machine);
  std::vector<uint8_t> absurd = ExtentsBytes({1, 2});
  absurd[0] = 0xFF;  // "more data" announcing 65535 extents
  absurd[1] = 0xFF;
  machine.volumes[L'K'] = absurd;
  EXPECT_FALSE(VolumeExtentDisks(system, L"\\\\.\\K:").has_value());
  machine.volumes[L'K'] = ExtentsBytes({});
  EXPECT_THAT(*VolumeExtentDisks(system, L"\\\\.\\K:"), ::testing::IsEmpty());
  EXPECT_FALSE(VolumeExtentDisks(system, L"\\\\.\\Q:").has_value());
}

TEST(WorkingPaths, FoldersAreMappedThroughTheirVolumeToItsDisks) {
  FakeMachine machine;
  machine.pathVolumes[L"C:\\"] = L"\\\\.\\C:";
  machine.pathVolumes[L"C:\\mnt\\usb\\"] = kVolume5;  // a folder mount inside C:
  machine.volumes[L'C'] = ExtentsBytes({0});
  machine.namedVolumes[kVolume5] = ExtentsBytes({2, 3});
  FakeDiskSystem system(machine);
  const std::vector<std::wstring> paths = {L"C:\\mnt\\usb\\tvde.exe", L"C:\\Temp\\",
                                           L"C:\\mnt\\usb\\Certificates", L"\\\\server\\share"};
  EXPECT_THAT(PathsOnDiskWith(system, 2, paths),
              ElementsAre(L"C:\\mnt\\usb\\tvde.exe", L"C:\\mnt\\usb\\Certificates"));
  EXPECT_THAT(PathsOnDiskWith(system, 0, paths), ElementsAre(L"C:\\Temp\\"));
  EXPECT_THAT(PathsOnDiskWith(system, 1, paths), ::testing::IsEmpty());
}

}  // namespace
}  // namespace tvde
