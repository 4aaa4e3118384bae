// The disks the running system needs, found on machines described by tables: system volume,
// system partition, native-boot VHD host, page files, the WinPE boot medium and the folders of
// a running job; and the volume names they are reached through.
#include "disk/protected_disks.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "disk/disk_classification.h"
#include "disk/disk_inventory.h"
#include "disk/volume_disks.h"
#include "disk/working_paths.h"
#include "fake_disk_system.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using ::testing::ElementsAre;

const std::wstring kMemory =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
const std::wstring kVolume5 = L"\\\\?\\Volume{5}";

using Protection = std::tuple<int32_t, SafetyStatus, std::wstring>;
constexpr SafetyStatus kSystem = SafetyStatus::ProtectedSystemDisk;
constexpr SafetyStatus kBoot = SafetyStatus::ProtectedBootMedia;

TEST(ProtectedDisks, EachFactTheSystemDependsOnProtectsItsDisksWithItsOwnReason) {
  struct Case {
    const char* name;
    int32_t environmentMode;
    std::function<void(FakeDiskSystem&)> arrange;
    std::vector<Protection> expected;  // every other disk may be written
  };
  const Case cases[] = {
      {"system partition by its NT device name",
       0,
       [](FakeDiskSystem& m) {
         m.registry[L"SYSTEM\\Setup|SystemPartition"] = {L"\\Device\\HarddiskVolume1"};
         m.namedVolumes[L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1"] = ExtentsBytes({2});
       },
       {{0, kSystem, kReasonSystemDisk}, {2, kSystem, kReasonSystemPartition}}},
      {"native-boot VHD host of the system volume",
       0,
       [](FakeDiskSystem& m) {
         m.vhdHosts[L"\\\\.\\C:"] = {kVolume5 + L"\\"};
         m.namedVolumes[kVolume5] = ExtentsBytes({3});
       },
       {{0, kSystem, kReasonSystemDisk}, {3, kSystem, kReasonVirtualDiskHost}}},
      {"page files, existing and configured, one spread over two disks",
       0,
       [](FakeDiskSystem& m) {
         m.registry[kMemory + L"|ExistingPageFiles"] = {L"\\??\\D:\\pagefile.sys"};
         m.registry[kMemory + L"|PagingFiles"] = {L"E:\\pagefile.sys 1024 4096",
                                                  L"?:\\pagefile.sys"};
         m.pathVolumes = {{L"D:\\", L"\\\\.\\D:"}, {L"E:\\", kVolume5}};
         m.volumes[L'D'] = ExtentsBytes({1});
         m.namedVolumes[kVolume5] = ExtentsBytes({4, 5});
       },
       {{0, kSystem, kReasonSystemDisk},
        {1, kSystem, kReasonPageFile},
        {4, kSystem, kReasonPageFile},
        {5, kSystem, kReasonPageFile}}},
      {"WinPE: the source drive value names the boot medium; boot.wim elsewhere is data",
       1,
       [](FakeDiskSystem& m) {
         m.systemDirectory = L"X:\\Windows\\system32";  // RAM disk: no extents
         m.registry[L"SYSTEM\\CurrentControlSet\\Control|PEBootRamdiskSourceDrive"] = {L"E:\\"};
         m.volumes[L'E'] = ExtentsBytes({4});
         m.AddVolume(L"5", {2});
         m.files = {kVolume5 + L"\\sources\\boot.wim"};
       },
       {{4, kBoot, kReasonBootMedia}}},
      {"WinPE without a usable value: every volume with boot.wim, letterless ones too",
       1,
       [](FakeDiskSystem& m) {
         m.systemDirectory = L"X:\\Windows\\system32";
         m.registry[L"SYSTEM\\CurrentControlSet\\Control|PEBootRamdiskSourceDrive"] = {L"Q:\\"};
         m.AddVolume(L"5", {2});
         m.AddVolume(L"E", {5});
         m.files = {kVolume5 + L"\\sources\\boot.wim", L"\\\\?\\Volume{E}\\sources\\boot.wim"};
       },
       {{2, kBoot, kReasonBootMedia}, {5, kBoot, kReasonBootMedia}}},
      {"WinPE running from a disk instead of X:",
       1,
       [](FakeDiskSystem& m) {
         m.systemDirectory = L"D:\\Windows\\system32";
         m.volumes[L'D'] = ExtentsBytes({3});
       },
       {{3, kBoot, kReasonWinPESystemFolder}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDiskSystem machine;  // six internal SATA disks, all unlocked; C: on disk 0
    machine.roots = std::vector<std::wstring>{L"C:\\"};
    machine.volumes[L'C'] = ExtentsBytes({0});
    for (int32_t n = 0; n < 6; ++n) {
      machine.disks[n] = {DescriptorBytes(11, false, "", "Disk", "1", "S"),
                          GeometryBytes(8ull << 30, 512), SeekPenaltyBytes(true)};
    }
    c.arrange(machine);
    std::vector<Protection> found;
    for (const DiskInfo& d : EnumeratePhysicalDisksWith(machine, c.environmentMode, 1)) {
      if (!AllowsWrite(d.safetyStatus))
        found.emplace_back(d.diskNumber, d.safetyStatus, d.safetyReason);
    }
    EXPECT_EQ(found, c.expected);
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
      {L"", ""}};
  for (const auto& [name, device] : devices)
    EXPECT_EQ(WideToUtf8(VolumeDeviceForName(name)), device) << WideToUtf8(name);

  const std::pair<const wchar_t*, const char*> pageFiles[] = {
      {L"\\??\\C:\\pagefile.sys", "C:\\pagefile.sys"},
      {L"C:\\pagefile.sys 0 0", "C:\\pagefile.sys"},
      {L"D:\\swap files\\pagefile.sys 16 2048", "D:\\swap files\\pagefile.sys"},
      {L"?:\\pagefile.sys", ""},
      {L"pagefile.sys", ""}};
  for (const auto& [entry, path] : pageFiles)
    EXPECT_EQ(WideToUtf8(PageFilePath(entry)), path) << WideToUtf8(entry);

  EXPECT_EQ(VolumeDisplayName({L"E:\\", L"C:\\mnt\\e\\"}, L"\\\\?\\Volume{1}\\"), L"E:");
  EXPECT_EQ(VolumeDisplayName({L"C:\\mnt\\data\\"}, L"\\\\?\\Volume{1}\\"), L"C:\\mnt\\data");
  EXPECT_EQ(VolumeDisplayName({}, L"\\\\?\\Volume{1}\\"), L"\\\\?\\Volume{1}\\");
}

TEST(WorkingPaths, FoldersAreMappedThroughTheirVolumeToItsDisks) {
  FakeDiskSystem system;
  system.pathVolumes = {{L"C:\\", L"\\\\.\\C:"}, {L"C:\\mnt\\usb\\", kVolume5}};  // nested mount
  system.volumes[L'C'] = ExtentsBytes({0});
  system.namedVolumes[kVolume5] = ExtentsBytes({2, 3});
  const std::vector<std::wstring> paths = {L"C:\\mnt\\usb\\tvde.exe", L"C:\\Temp\\",
                                           L"C:\\mnt\\usb\\Certificates", L"\\\\server\\share"};
  EXPECT_THAT(PathsOnDiskWith(system, 2, paths),
              ElementsAre(L"C:\\mnt\\usb\\tvde.exe", L"C:\\mnt\\usb\\Certificates"));
  EXPECT_THAT(PathsOnDiskWith(system, 0, paths), ElementsAre(L"C:\\Temp\\"));
  EXPECT_THAT(PathsOnDiskWith(system, 1, paths), ::testing::IsEmpty());
  // A volume that answers no extents, or none at all, holds no disk.
  system.namedVolumes[kVolume5] = ExtentsBytes({});
  EXPECT_THAT(PathsOnDiskWith(system, 2, paths), ::testing::IsEmpty());
  EXPECT_FALSE(VolumeExtentDisks(system, L"\\\\.\\Q:").has_value());
}

}  // namespace
}  // namespace tvde
