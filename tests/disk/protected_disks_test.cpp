// The safety rules: every rule of the classification in its order of precedence and which states
// allow a write; the disks the running system needs, found on machines described by tables
// (system volume, system partition, native-boot VHD host, page files, the WinPE boot medium and
// the folders of a running job); the volume names they are reached through; the size text.
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

ClassificationContext Normal(int32_t systemDisk = 0, int32_t unlock = 0,
                             std::vector<DiskProtection> protections = {}) {
  return {systemDisk, 1, 0, unlock, protections};  // a boot medium means nothing outside WinPE
}

ClassificationContext WinPE(int32_t bootMedia, std::vector<DiskProtection> protections = {}) {
  return {0, bootMedia, 1, 0, protections};
}

TEST(Classification, RulesInTheirOrderOfPrecedence) {
  using B = BusKind;
  using M = MediaKind;
  using S = SafetyStatus;
  struct Case {
    int32_t number;
    BusKind bus;
    MediaKind media;
    const wchar_t* letters;
    ClassificationContext context;
    SafetyStatus status;
    const wchar_t* reason;
  };
  const Case cases[] = {
      // The running system's disk, found by number whatever its bus, or by carrying C:.
      {0, B::Sata, M::Ssd, L"C:", Normal(0), S::ProtectedSystemDisk, kReasonSystemDisk},
      {2, B::Usb, M::Removable, L"", Normal(2), S::ProtectedSystemDisk, kReasonSystemDisk},
      {2, B::Nvme, M::NvmeSsd, L"", Normal(2, 1), S::ProtectedSystemDisk, kReasonSystemDisk},
      {3, B::Usb, M::Removable, L"C:", Normal(0), S::ProtectedSystemDisk, kReasonSystemDisk},
      {1, B::Sata, M::Hdd, L"D:, c:", Normal(0, 1), S::ProtectedSystemDisk, kReasonSystemDisk},
      // Further disks the system needs, after the system disk, before every other rule.
      {3, B::Usb, M::Removable, L"", Normal(0, 1, {{3, ProtectionCause::PageFile}}),
       S::ProtectedSystemDisk, kReasonPageFile},
      {0, B::Sata, M::Hdd, L"", Normal(0, 0, {{0, ProtectionCause::SystemPartition}}),
       S::ProtectedSystemDisk, kReasonSystemDisk},
      {1, B::Sata, M::Hdd, L"", WinPE(2, {{1, ProtectionCause::WinPESystemFolder}}),
       S::ProtectedBootMedia, kReasonWinPESystemFolder},
      // Removable-like disks: USB, SD and MMC buses or removable media on any bus.
      {1, B::Usb, M::Hdd, L"E:", Normal(), S::Erasable, kReasonRemovable},
      {1, B::SdCard, M::Removable, L"", Normal(), S::Erasable, kReasonRemovable},
      {1, B::Mmc, M::Ssd, L"", Normal(), S::Erasable, kReasonRemovable},
      {1, B::Sata, M::Removable, L"", Normal(), S::Erasable, kReasonRemovable},
      // Internal disks stay locked unless unlocked with exactly 1.
      {1, B::Sata, M::Ssd, L"", Normal(0, 0), S::LockedInternal, kReasonLockedInternal},
      {1, B::Sata, M::Ssd, L"", Normal(0, 1), S::ErasableSecondary, kReasonUnlockedInternal},
      {1, B::Nvme, M::NvmeSsd, L"D:", Normal(0, 2), S::LockedInternal, kReasonLockedInternal},
      {4, B::ScsiSas, M::Hdd, L"", Normal(0, -1), S::LockedInternal, kReasonLockedInternal},
      {6, B::Virtual, M::Hdd, L"", Normal(0, 0), S::LockedInternal, kReasonLockedInternal},
      // WinPE protects only its boot medium; no medium found (-1) protects nothing.
      {2, B::Usb, M::Removable, L"E:", WinPE(2), S::ProtectedBootMedia, kReasonBootMedia},
      {0, B::Sata, M::Hdd, L"C:", WinPE(2), S::Erasable, kReasonWinPE},
      {1, B::Nvme, M::NvmeSsd, L"", WinPE(2), S::Erasable, kReasonWinPE},
      {0, B::Sata, M::Hdd, L"", WinPE(-1), S::Erasable, kReasonWinPE},
      // An unexpected environment mode keeps the normal protections.
      {0, B::Sata, M::Hdd, L"", {0, 1, 2, 0, {}}, S::ProtectedSystemDisk, kReasonSystemDisk},
      {1, B::Usb, M::Removable, L"", {0, 1, 100, 0, {}}, S::Erasable, kReasonRemovable},
  };
  for (const Case& c : cases) {
    DiskInfo disk;
    disk.diskNumber = c.number;
    disk.busType = c.bus;
    disk.mediaType = c.media;
    disk.driveLetters = c.letters;
    ClassifyDisk(disk, c.context);
    SCOPED_TRACE(std::to_string(c.number) + " " + WideToUtf8(c.letters));
    EXPECT_EQ(disk.safetyStatus, c.status);
    EXPECT_EQ(disk.safetyReason, c.reason);
    EXPECT_EQ(disk.driveLetters, *c.letters != 0 ? c.letters : kNoDriveLetters);
    EXPECT_EQ(AllowsWrite(disk.safetyStatus),
              c.status == S::Erasable || c.status == S::ErasableSecondary);
  }
  EXPECT_FALSE(AllowsWrite(DiskInfo{}.safetyStatus) || AllowsWrite(static_cast<S>(5)) ||
               AllowsWrite(static_cast<S>(-1)));  // a record starts protected; unknown states
}

TEST(DiskInfo, SizesInBinaryUnitsWithTerabytesFrom1000GiB) {
  // clang-format off
  const std::pair<uint64_t, const char*> cases[] = {
      {0, "0 B"}, {52428, "0.0 MB"}, {52429, "0.1 MB"}, {(1ull << 30) - 1, "1024.0 MB"},
      {1000000000000ull, "931.32 GB"}, {(1000ull << 30) - 1, "1000.00 GB"}, {1000ull << 30, "0.98 TB"}};
  // clang-format on
  for (const auto& [bytes, text] : cases)
    EXPECT_EQ(WideToUtf8(FormatSize(bytes)), text) << bytes;
}

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
