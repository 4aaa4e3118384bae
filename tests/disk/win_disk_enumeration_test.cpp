// The Windows inventory functions under Wine: they must open no disk or volume there; the
// queries Wine does answer (volume names, mount points, paths, registry) on the real system.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include <gmock/gmock.h>

#include "base/host_environment.h"
#include "disk/disk_enumeration.h"
#include "disk/volume_disks.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(WindowsDiskEnumeration, UnderWineNoDiskIsListedAndNoVolumeQueried) {
  if (!IsRunningUnderWine()) GTEST_SKIP() << "only meaningful under Wine";
  EXPECT_TRUE(EnumeratePhysicalDisks(0, 0).empty());
  EXPECT_TRUE(EnumeratePhysicalDisks(1, 1).empty());
  EXPECT_EQ(FindBootMediaDiskNumber(), -1);
  std::vector<DiskInfo> disks(2);
  disks[0].diskNumber = 0;
  disks[1].diskNumber = 1;
  AssignDriveLetters(disks);
  EXPECT_EQ(U8(disks[0].driveLetters), "");
  EXPECT_EQ(U8(disks[1].driveLetters), "");
  // Questions that would open a volume device get no answer at all.
  const auto system = MakeWin32DiskQueries();
  std::vector<uint8_t> buffer(64, 0);
  EXPECT_FALSE(system->QueryVolumeExtents(L"\\\\.\\C:", buffer).ok);
  EXPECT_TRUE(system->VirtualDiskHostVolumes(L"\\\\.\\C:").empty());
  EXPECT_FALSE(system->HostsVirtualDisks(L"\\\\.\\C:"));
}

TEST(WindowsDiskEnumeration, VolumeNamesMountPointsAndPathsAnswerFromTheSystem) {
  const auto system = MakeWin32DiskQueries();
  const auto names = system->VolumeNames();
  ASSERT_TRUE(names.has_value());
  const std::wstring directory = system->SystemDirectory().value_or(L"");
  ASSERT_FALSE(directory.empty());
  const auto volume = system->VolumeOfPath(directory);
  ASSERT_TRUE(volume.has_value());
  EXPECT_EQ(volume->rfind(L"\\\\?\\Volume{", 0), 0u) << U8(*volume);

  bool listed = false;
  for (const std::wstring& name : *names) {
    EXPECT_EQ(name.rfind(L"\\\\?\\Volume{", 0), 0u) << U8(name);
    EXPECT_EQ(name.back(), L'\\');
    if (!SameVolumeDevice(VolumeDeviceForName(name), *volume)) continue;
    listed = true;
    std::vector<std::string> mounts;
    for (const std::wstring& mount : system->MountPoints(name))
      mounts.push_back(U8(mount));
    EXPECT_THAT(mounts, ::testing::Contains(U8(directory.substr(0, 3))));
  }
  EXPECT_TRUE(listed) << "the system directory's volume is not in the volume list";

  // A folder that does not exist yet lies on the volume of the folder it would go in.
  testing::TempDir dir;
  const auto here = system->VolumeOfPath(dir.File(""));
  ASSERT_TRUE(here.has_value());
  EXPECT_EQ(system->VolumeOfPath(dir.File("not\\yet\\there")), here);
}

TEST(WindowsDiskEnumeration, MachineRegistryStringsOfEachValueType) {
  const std::wstring subkey = L"SOFTWARE\\TorevalTest-" + std::to_wstring(GetCurrentProcessId());
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    GTEST_SKIP() << "HKEY_LOCAL_MACHINE is not writable here";
  }
  const auto set = [&](const wchar_t* name, DWORD type, const std::wstring& data) {
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  };
  set(L"Single", REG_SZ, std::wstring(L"E:\\\0", 4));
  set(L"Unterminated", REG_SZ, L"F:\\");  // stored without its zero
  set(L"Expand", REG_EXPAND_SZ, std::wstring(L"%SystemRoot%\\x\0", 15));
  set(L"Multi", REG_MULTI_SZ,
      std::wstring(L"\\??\\C:\\pagefile.sys\0D:\\pagefile.sys 0 0\0\0", 41));
  const DWORD number = 7;
  RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof number);
  RegCloseKey(key);

  const auto system = MakeWin32DiskQueries();
  const auto read = [&](const wchar_t* name) {
    std::vector<std::string> out;
    for (const std::wstring& text : system->MachineRegistryStrings(subkey, name))
      out.push_back(U8(text));
    return out;
  };
  using ::testing::ElementsAre;
  EXPECT_THAT(read(L"Single"), ElementsAre("E:\\"));
  EXPECT_THAT(read(L"Unterminated"), ElementsAre("F:\\"));
  EXPECT_THAT(read(L"Expand"), ElementsAre("%SystemRoot%\\x"));  // not expanded
  EXPECT_THAT(read(L"Multi"), ElementsAre("\\??\\C:\\pagefile.sys", "D:\\pagefile.sys 0 0"));
  EXPECT_THAT(read(L"Number"), ::testing::IsEmpty());
  EXPECT_THAT(read(L"Missing"), ::testing::IsEmpty());
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, subkey.c_str());
  EXPECT_THAT(read(L"Single"), ::testing::IsEmpty());
}

TEST(WindowsDiskEnumeration, FileAndDriveQueriesAnswerFromTheSystem) {
  const auto system = MakeWin32DiskQueries();
  const auto directory = system->SystemDirectory();
  ASSERT_TRUE(directory.has_value());
  EXPECT_GE(directory->size(), 3u);
  EXPECT_EQ((*directory)[1], L':');

  const auto roots = system->LogicalDriveRoots();
  ASSERT_TRUE(roots.has_value());
  bool systemRootListed = false;
  for (const auto& root : *roots) {
    EXPECT_EQ(root.size(), 3u) << U8(root);
    if (towupper(root[0]) == towupper((*directory)[0])) systemRootListed = true;
  }
  EXPECT_TRUE(systemRootListed);

  testing::TempDir dir;
  const std::wstring file = dir.File("boot.wim");
  EXPECT_FALSE(system->FileExists(file));
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  EXPECT_TRUE(system->FileExists(file));

  EXPECT_EQ(U8(system->AnsiToWide("WDC WD10EZEX-08WN4A0")), "WDC WD10EZEX-08WN4A0");
  EXPECT_EQ(U8(system->AnsiToWide("")), "");
}

}  // namespace
}  // namespace tvde
#endif
