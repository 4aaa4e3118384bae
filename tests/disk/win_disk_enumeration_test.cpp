// The Windows inventory under Wine: no disk is listed or opened there, no volume device is
// queried, and the system's own answers (roots, volume names, mount points, the volume of a
// path, registry values) come through.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <gmock/gmock.h>

#include "disk/disk_enumeration.h"
#include "disk/volume_disks.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

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

}  // namespace
}  // namespace tvde
#endif
