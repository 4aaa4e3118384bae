// The storage answers parsed from bytes laid out like the Windows structures; the enumeration
// walk on a machine described by tables (identity, size, media kind, letters, system disk,
// WinPE boot medium, classification, which devices it opens) and the re-identification of an
// open disk; and the Windows inventory under Wine: nothing listed or opened, the system's own
// answers (roots, volume names, mount points, the volume of a path, registry values) intact.
#include "disk/disk_inventory.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>

#ifdef _WIN32
#include <windows.h>

#include "disk/disk_enumeration.h"
#include "disk/volume_disks.h"
#include "support/temp_dir.h"
#endif

#include "disk/disk_classification.h"
#include "disk/disk_reidentify.h"
#include "disk/storage_descriptors.h"
#include "fake_disk_system.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using ::testing::ElementsAre;

// Disk 0: SATA HDD with C: and D:; disk 1: NVMe without letters; disk 2: USB stick with E:;
// disk 4: SATA SSD with 4096-byte sectors and F:. Disk 3 cannot be opened; disk 5 answers no
// geometry, disk 6 a size of 0, disk 7 neither descriptor nor seek penalty and a geometry one
// byte short.
FakeDiskSystem OfficePc() {
  FakeDiskSystem m;
  m.roots = std::vector<std::wstring>{L"C:\\", L"D:\\", L"E", L"E:\\", L"F:\\", L"Q:\\"};
  m.volumes = {{L'C', ExtentsBytes({0})},
               {L'D', ExtentsBytes({0})},
               {L'E', ExtentsBytes({2})},
               {L'F', ExtentsBytes({4})}};
  m.disks[0] = {DescriptorBytes(11, false, "", "ST2000DM008", "0001", "ZFL0AB12"),
                GeometryBytes(2000398934016ull, 512), SeekPenaltyBytes(true)};
  m.disks[1] = {DescriptorBytes(17, false, nullptr, "Samsung SSD 980", "1B4Q", "S649NF0R"),
                GeometryBytes(1000204886016ull, 512),
                {}};
  m.disks[2] = {DescriptorBytes(7, true, "SanDisk", "Ultra Fit", "1.00", "4C530001"),
                GeometryBytes(32ull << 30, 512),
                {}};
  m.disks[4] = {DescriptorBytes(7, false, "\x80Tech", "CT500 ", "M3\x80", "  "),
                GeometryBytes(500107862016ull, 4096), SeekPenaltyBytes(false)};
  m.disks[5] = {DescriptorBytes(7, true, "Generic", "Card Reader", "", ""), {}, {}};
  m.disks[6] = {
      DescriptorBytes(7, true, "Generic", "Empty Slot", "", ""), GeometryBytes(0, 512), {}};
  m.disks[7] = {{}, Bytes(31, 0xFF), {}};
  return m;
}

std::vector<std::string> Rows(const std::vector<DiskInfo>& disks) {
  const char* media[] = {"standard", "HDD", "SSD", "NVMe SSD", "removable"};
  const char* status[] = {"erasable", "system disk", "boot medium", "locked", "secondary"};
  std::vector<std::string> rows;
  for (const DiskInfo& d : disks) {
    rows.push_back(WideToUtf8(d.devicePath.substr(4) + L" " + d.model + L"|" + d.serialNumber +
                              L"|" + d.firmwareRevision + L"|" + d.driveLetters + L" " +
                              BusTypeLabel(d.busType)) +
                   FormatPrintf(" %s %llu/%u %s", media[static_cast<int>(d.mediaType)],
                                static_cast<unsigned long long>(d.sizeBytes), d.bytesPerSector,
                                status[static_cast<int>(d.safetyStatus)]));
  }
  return rows;
}

TEST(DiskInventory, NormalWindowsListsEveryReadableDiskAndProtectsTheSystemDisk) {
  FakeDiskSystem system = OfficePc();
  EXPECT_THAT(
      Rows(EnumeratePhysicalDisksWith(system, 0, 0)),
      ElementsAre(
          "PhysicalDrive0 ST2000DM008|ZFL0AB12|0001|C:, D: SATA HDD 2000398934016/512 system disk",
          "PhysicalDrive1 Samsung SSD 980|S649NF0R|1B4Q|(未割当/マウントなし) NVMe NVMe SSD 1000204886016/512 locked",
          "PhysicalDrive2 SanDisk Ultra Fit|4C530001|1.00|E: USB removable 34359738368/512 erasable",
          "PhysicalDrive4 €Tech CT500|N/A|M3€|F: USB SSD 500107862016/4096 erasable"));
  std::vector<int32_t> all(32);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(system.openedDisks, all);  // every number 0..31 once, nothing else
  for (const auto& q : system.queries)
    EXPECT_FALSE(q.starts_with("file ")) << "normal Windows never looks for a boot medium";
  EXPECT_THAT(Rows(EnumeratePhysicalDisksWith(system, 0, 1))[1], ::testing::EndsWith(" secondary"));

  // The system disk is the one under the system folder, asked with room for one extent; a
  // disk carrying C: is protected all the same.
  system.systemDirectory = L"F:\\Windows\\system32";
  system.volumes[L'C'] = ExtentsBytes({1});
  EXPECT_EQ(FindSystemDiskNumberWith(system), 4);
  EXPECT_EQ(system.queries.back(), "volume F 32");
  const auto moved = EnumeratePhysicalDisksWith(system, 0, 1);
  EXPECT_EQ(moved[0].safetyStatus, SafetyStatus::ErasableSecondary);
  EXPECT_EQ(moved[1].safetyStatus, SafetyStatus::ProtectedSystemDisk);
  EXPECT_EQ(moved[3].safetyStatus, SafetyStatus::ProtectedSystemDisk);
  // A spanned system volume answers "more data" and is asked again with room for every
  // extent; each of its disks is the running system's. An absurd extent count gives disk 0.
  system.volumes[L'F'] = ExtentsBytes({4, 0});
  system.queries.clear();
  EXPECT_EQ(FindSystemDiskNumberWith(system), 4);
  EXPECT_THAT(system.queries, ElementsAre("volume F 32", "volume F 56"));
  EXPECT_EQ(EnumeratePhysicalDisksWith(system, 0, 1)[0].safetyStatus,
            SafetyStatus::ProtectedSystemDisk);
  system.volumes[L'F'][1] = 0xFF;  // 65280 extents
  EXPECT_EQ(FindSystemDiskNumberWith(system), 0);
}

TEST(DiskInventory, WinPEProtectsTheMediaWithBootWimAndFreesTheInternalDisks) {
  FakeDiskSystem system = OfficePc();
  system.systemDirectory = L"X:\\Windows\\system32";  // the RAM disk: no extents
  system.roots = std::vector<std::wstring>{L"C:\\", L"D:\\", L"E:\\", L"F:\\", L"G:\\"};
  system.volumes[L'G'] = ExtentsBytes({1, 4, 1});  // spanned: listed once per extent
  system.volumes.erase(L'D');
  // Without a volume list the lettered roots are searched; D: has the file but no extents.
  system.files = {L"D:\\sources\\boot.wim", L"E:\\sources\\boot.wim", L"F:\\sources\\boot.wim"};
  EXPECT_THAT(Rows(EnumeratePhysicalDisksWith(system, 1, 0)),
              ElementsAre(::testing::EndsWith("|C: SATA HDD 2000398934016/512 erasable"),
                          ::testing::EndsWith("|G:, G: NVMe NVMe SSD 1000204886016/512 erasable"),
                          ::testing::EndsWith("|E: USB removable 34359738368/512 boot medium"),
                          ::testing::EndsWith("|F:, G: USB SSD 500107862016/4096 boot medium")));
  EXPECT_EQ(FindBootMediaDiskNumberWith(system), 2);
  system.files.clear();
  EXPECT_EQ(FindBootMediaDiskNumberWith(system), -1);
}

TEST(DiskInventory, DeviceInterfacesNameDisksOfAnyNumberAndAreKeptForTheWrite) {
  FakeDiskSystem system = OfficePc();
  system.disks[40] = system.disks[2];
  for (const int32_t n : {1, 2, 40})
    system.disks[n].number = DeviceNumberBytes(n);
  // Out of order, one disk twice, one that cannot be opened, one without a number.
  system.interfaces = {{L"usb#40", L"scsi#1", L"usb#2", L"usb-again#2", L"gone#9", L"scsi#0"}};
  std::vector<std::wstring> found;
  for (const DiskInfo& d : EnumeratePhysicalDisksWith(system, 0, 0))
    found.push_back(d.devicePath.substr(4) + L"=" + TargetDevicePath(d));
  // Disks 0 and 4 answer no interface with their number: found by number, and opened so.
  EXPECT_THAT(found, ElementsAre(L"PhysicalDrive0=\\\\.\\PhysicalDrive0", L"PhysicalDrive1=scsi#1",
                                 L"PhysicalDrive2=usb#2", L"PhysicalDrive4=\\\\.\\PhysicalDrive4",
                                 L"PhysicalDrive40=usb#40"));
  EXPECT_THAT(system.openedDisks, ::testing::Not(::testing::Contains(1)));
  EXPECT_THAT(system.openedDisks, ::testing::Not(::testing::Contains(2)));
  system.interfaces->clear();  // an empty list: the numbers 0..31 are tried
  const auto byNumber = EnumeratePhysicalDisksWith(system, 0, 0);
  ASSERT_EQ(byNumber.size(), 4u);
  EXPECT_EQ(TargetDevicePath(byNumber[2]), L"\\\\.\\PhysicalDrive2");
}

// The list is filled; then the disk is changed, opened and asked again through the open handle.
TEST(DiskReidentify, TheOpenDiskMustStillBeTheListedOneAndStillWritable) {
  using Change = std::function<void(FakeDiskSystem&, FakeDisk&)>;
  const std::tuple<int32_t, Change, const wchar_t*> cases[] = {
      // mode, change, difference
      {0, [](FakeDiskSystem&, FakeDisk&) {}, nullptr},
      {1, [](FakeDiskSystem&, FakeDisk&) {}, nullptr},
      {0,
       [](FakeDiskSystem&, FakeDisk& d) {
         d.descriptor = DescriptorBytes(7, 1, "K", "DT", "", "K-7");
       },
       L"モデル: 一覧 SanDisk Ultra Fit / 現在 K DT、シリアル番号: 一覧 4C530001 / 現在 K-7"},
      {0, [](FakeDiskSystem&, FakeDisk& d) { d.geometry = GeometryBytes(16ull << 30, 512); },
       L"容量 (バイト): 一覧 34359738368 / 現在 17179869184"},
      {0, [](FakeDiskSystem&, FakeDisk& d) { d.number = DeviceNumberBytes(3); },
       L"ディスク番号: 一覧 2 / 現在 3"},
      {0, [](FakeDiskSystem& m, FakeDisk&) { m.volumes[L'C'] = ExtentsBytes({2}); },
       L"安全分類: 一覧 [消去可能] 安全チェックOK / 現在 [絶対保護] OS起動システムディスク"},
      {1, [](FakeDiskSystem& m, FakeDisk&) { m.files = {L"E:\\sources\\boot.wim"}; },
       L"安全分類: 一覧 [消去可能] 安全チェックOK / 現在 [絶対保護] WinPE起動メディア"},
      {0, [](FakeDiskSystem&, FakeDisk& d) { d.attributes = AttributeBytes(3); },
       L"ディスクがオフラインです、ディスクが読み取り専用です"},
      {0, [](FakeDiskSystem&, FakeDisk& d) { d.number = d.geometry = std::nullopt; },
       L"ディスク番号を取得できません、容量を取得できません"},
      {0, [](FakeDiskSystem&, FakeDisk& d) { d.descriptor = std::nullopt; },
       L"デバイス記述子を取得できません"},
      {0, [](FakeDiskSystem&, FakeDisk& d) { d.geometry = GeometryBytes(32ull << 30, 4096); },
       L"セクタサイズ: 一覧 512 / 現在 4096"},
  };
  for (const auto& [mode, change, difference] : cases) {
    FakeDiskSystem system = OfficePc();
    system.systemDirectory = L"X:\\Windows\\system32";
    FakeDisk& listed = system.disks[2];
    listed = {listed.descriptor, listed.geometry, {}, DeviceNumberBytes(2), AttributeBytes(0)};
    const DiskInfo saved = EnumeratePhysicalDisksWith(system, mode, 0)[2];
    ASSERT_TRUE(AllowsWrite(saved.safetyStatus));
    change(system, listed);
    const DiskIdentityCheck check =
        ReidentifyOpenedDisk(system, *system.OpenPhysicalDisk(2), saved);
    EXPECT_EQ(check.same, difference == nullptr) << WideToUtf8(check.difference);
    EXPECT_TRUE(check.difference.starts_with(difference ? difference : L""))
        << WideToUtf8(check.difference);
  }
}

TEST(StorageDescriptors, EveryAnswerIsReadWithinTheBytesReturned) {
  // Offset 0 means "not reported"; offsets at or past the end give nothing; a string without
  // its zero stops where the answer ends; blanks around the texts go.
  auto bytes = DescriptorBytes(3, true, "ATA", " ST2000DM008 ", "0001", "ZFL1234");
  PutLe32(std::span(bytes).subspan(12), 0);
  PutLe32(std::span(bytes).subspan(20), 5000);
  PutLe32(std::span(bytes).subspan(24), static_cast<uint32_t>(bytes.size()));
  const auto facts = ParseStorageDeviceDescriptor(std::span(bytes).first(40 + 4 + 8));
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->vendor + "|" + facts->product + "|" + facts->revision + "|" + facts->serial,
            "|ST2000D||");
  EXPECT_TRUE(facts->removable);
  EXPECT_EQ(ComposeModel("", facts->product) + "/" + ComposeModel("SanDisk", "Ultra"),
            "ST2000D/SanDisk Ultra");
  EXPECT_FALSE(ParseStorageDeviceDescriptor(std::span(bytes).first(39)).has_value());

  const auto geometry = GeometryBytes(2000398934016ull, 0);
  EXPECT_EQ(ParseDriveGeometryEx(geometry)->diskSize, 2000398934016ull);
  EXPECT_EQ(ParseDriveGeometryEx(geometry)->bytesPerSector, 512u);  // 0 counts as 512
  EXPECT_FALSE(ParseDriveGeometryEx(std::span(geometry).first(31)).has_value());
  const auto seek = SeekPenaltyBytes(true);
  EXPECT_EQ(ParseSeekPenalty(seek), std::optional<bool>(true));
  EXPECT_EQ(ParseSeekPenalty(std::span(seek).first(11)), std::nullopt);
  // The count claims two extents but only the first came back whole.
  const auto extents = ExtentsBytes({4, 5});
  EXPECT_EQ(ParseVolumeDiskExtents(extents), (std::vector<int32_t>{4, 5}));
  EXPECT_EQ(ParseVolumeDiskExtents(std::span(extents).first(55)), std::vector<int32_t>{4});
  EXPECT_TRUE(ParseVolumeDiskExtents(std::span(extents).first(7)).empty());
  // The answers of the open disk's own questions (their use is in DiskReidentify).
  const Bytes number = DeviceNumberBytes(2), attributes = AttributeBytes(3);
  EXPECT_FALSE(ParseStorageDeviceNumber(std::span(number).first(11)) ||
               ParseDiskAttributes(std::span(attributes).first(15)));

  // The descriptor is read at the size its header announces: a serial past byte 1024 stays.
  FakeDiskSystem system;
  system.disks[0] = {DescriptorBytes(11, false, "", std::string(1100, 'P').c_str(), "R", "SN-END"),
                     GeometryBytes(8ull << 30, 512), SeekPenaltyBytes(true)};
  EXPECT_EQ(ReadPhysicalDisk(system, 0)->serialNumber, L"SN-END");
  system.queries.resize(2);
  EXPECT_THAT(system.queries, ElementsAre("disk 0 descriptor 8", "disk 0 descriptor 1151"));
}

#ifdef _WIN32
TEST(WindowsDiskEnumeration, UnderWineNothingIsListedAndTheSystemAnswersComeThrough) {
  EXPECT_TRUE(EnumeratePhysicalDisks(0, 0).empty());
  EXPECT_TRUE(EnumeratePhysicalDisks(1, 1).empty());
  EXPECT_EQ(FindBootMediaDiskNumber(), -1);
  const auto system = MakeWin32DiskQueries();
  std::vector<uint8_t> buffer(64, 0);
  EXPECT_FALSE(system->QueryVolumeExtents(L"\\\\.\\C:", buffer).ok);
  EXPECT_TRUE(system->VirtualDiskHostVolumes(L"\\\\.\\C:").empty());
  EXPECT_FALSE(system->HostsVirtualDisks(L"\\\\.\\C:"));
  EXPECT_FALSE(system->DiskInterfacePaths().has_value());  // Wine lists no disks

  const std::wstring directory = system->SystemDirectory().value_or(L"");
  const auto roots = system->LogicalDriveRoots();
  ASSERT_TRUE(roots.has_value() && directory.size() > 3);
  EXPECT_THAT(*roots, ::testing::Contains(directory.substr(0, 3)));
  // The system directory's volume is listed by name and mounted at its root.
  const auto volume = system->VolumeOfPath(directory);
  const auto names = system->VolumeNames();
  ASSERT_TRUE(volume.has_value() && names.has_value());
  bool listed = false;
  for (const std::wstring& name : *names) {
    EXPECT_TRUE(name.starts_with(L"\\\\?\\Volume{") && name.ends_with(L"\\"));
    if (!SameVolumeDevice(VolumeDeviceForName(name), *volume)) continue;
    listed = true;
    EXPECT_THAT(system->MountPoints(name), ::testing::Contains(directory.substr(0, 3)));
  }
  EXPECT_TRUE(listed);
  // A folder that does not exist yet lies on the volume of the folder it would go in.
  testing::TempDir dir;
  EXPECT_EQ(system->VolumeOfPath(dir.File("not\\yet\\there")), system->VolumeOfPath(dir.File("")));
  EXPECT_FALSE(system->FileExists(dir.File("boot.wim")));
  EXPECT_EQ(system->AnsiToWide("WDC WD10EZEX"), L"WDC WD10EZEX");
}

TEST(WindowsDiskEnumeration, MachineRegistryStringsOfEachValueType) {
  const std::wstring subkey = L"SOFTWARE\\TorevalTest-" + std::to_wstring(GetCurrentProcessId());
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable here";
  }
  // Each value as stored (type and bytes) and the strings it gives; other types give none.
  const std::tuple<const wchar_t*, DWORD, std::wstring, std::vector<std::wstring>> values[] = {
      {L"Single", REG_SZ, std::wstring(L"E:\\\0", 4), {L"E:\\"}},
      {L"Unterminated", REG_SZ, L"F:\\", {L"F:\\"}},
      {L"Expand", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\\x\0", 15), {L"%SystemRoot%\\x"}},
      {L"Multi",
       REG_MULTI_SZ,
       std::wstring(L"\\??\\C:\\pagefile.sys\0D:\\p.sys 0 0\0\0", 34),
       {L"\\??\\C:\\pagefile.sys", L"D:\\p.sys 0 0"}},
      {L"Number", REG_DWORD, std::wstring(L"\7\0", 2), {}}};
  for (const auto& [name, type, data, strings] : values) {
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  }
  RegCloseKey(key);
  const auto system = MakeWin32DiskQueries();
  for (const auto& [name, type, data, strings] : values)
    EXPECT_EQ(system->MachineRegistryStrings(subkey, name), strings) << type;
  EXPECT_TRUE(system->MachineRegistryStrings(subkey, L"Missing").empty());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, subkey.c_str());
  EXPECT_TRUE(system->MachineRegistryStrings(subkey, L"Single").empty());
}

#endif

}  // namespace
}  // namespace tvde
