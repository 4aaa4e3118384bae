// Wine detection, the program's own path and recognition of raw device paths.
#include "base/host_environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/text.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvde {
namespace {

using testing::U8;

TEST(HostEnvironment, WineIsDetectedExactlyWhenTheWineRegistryBranchExists) {
#ifdef _WIN32
  // Every Wine prefix carries HKCU\Software\Wine (our prefix setup writes into it); a real
  // Windows installation has no such key.
  HKEY key = nullptr;
  const bool wineKey =
      RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Wine", 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (wineKey) RegCloseKey(key);
  EXPECT_EQ(IsRunningUnderWine(), wineKey);
  EXPECT_TRUE(wineKey) << "the Windows tests of this project are expected to run under Wine";
#else
  EXPECT_FALSE(IsRunningUnderWine());
#endif
}

TEST(HostEnvironment, DirectoryIsCutAtTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(U8(DirectoryOfPath(L"C:\\Program Files\\Toreval\\TorevalDiskEraser.exe")),
            "C:\\Program Files\\Toreval");
  EXPECT_EQ(U8(DirectoryOfPath(L"X:\\Windows\\System32/tool.exe")), "X:\\Windows\\System32");
  EXPECT_EQ(U8(DirectoryOfPath(L"/opt/toreval/bin\\odd/tvde")), "/opt/toreval/bin\\odd");
  EXPECT_EQ(U8(DirectoryOfPath(L"C:\\tool.exe")), "C:");
  EXPECT_EQ(U8(DirectoryOfPath(L"\\tool.exe")), "");
  EXPECT_EQ(U8(DirectoryOfPath(L"tool.exe")), ".");
  EXPECT_EQ(U8(DirectoryOfPath(L"")), ".");
  EXPECT_EQ(U8(DirectoryOfPath(L"D:\\ツール\\消去.exe")), "D:\\ツール");
}

TEST(HostEnvironment, ProgramPathNamesThisTestProgram) {
  const std::wstring path = ProgramModulePath();
  ASSERT_FALSE(path.empty());
  const std::filesystem::path asPath(path);
  EXPECT_EQ(asPath.stem().string(), "tvde_base_tests");
  EXPECT_TRUE(std::filesystem::is_regular_file(asPath));
  EXPECT_EQ(std::filesystem::path(ProgramDirectory()), asPath.parent_path());
}

TEST(HostEnvironment, RecognisesDiskAndVolumeDevicePaths) {
  const wchar_t* devices[] = {
      L"\\\\.\\PhysicalDrive0",
      L"\\\\.\\PHYSICALDRIVE17",
      L"\\\\.\\physicaldrive3",
      L"\\\\.\\E:",
      L"\\\\.\\c:",
      L"//./PhysicalDrive1",
      L"\\\\./C:",
      L"\\\\?\\PhysicalDrive2",
      L"\\\\?\\E:",
      L"\\\\?\\Volume{6b29fc40-ca47-1067-b31d-00dd010662da}",
      L"\\\\?\\GLOBALROOT\\Device\\Harddisk0\\Partition0",
      L"\\\\.\\HarddiskVolume3",
      L"\\\\.\\CdRom0",
      L"\\??\\PhysicalDrive0",
      L"\\??\\D:",
      L"\\\\.\\",
  };
  for (const wchar_t* path : devices)
    EXPECT_TRUE(IsRawDevicePath(path)) << U8(path);
}

TEST(HostEnvironment, OrdinaryAndLongFilePathsAreNotDevices) {
  const wchar_t* files[] = {
      L"C:\\images\\disk.img",
      L"Z:\\tmp\\tvde-test-1\\disk.img",
      L"disk.img",
      L"/tmp/disk.img",
      L"\\\\?\\C:\\images\\disk.img",
      L"\\\\?\\c:/images/disk.img",
      L"\\\\.\\C:\\images\\disk.img",
      L"\\\\?\\UNC\\server\\share\\disk.img",
      L"\\\\server\\share\\disk.img",
      L"\\\\.PhysicalDrive0",
      L"PhysicalDrive0",
      L"",
  };
  for (const wchar_t* path : files)
    EXPECT_FALSE(IsRawDevicePath(path)) << U8(path);
}

}  // namespace
}  // namespace tvde

namespace tvde {
namespace {

TEST(WineHostDevice, OnlyImageFilesAreWritableUnderWine) {
  testing::TempDir dir;
  const std::wstring image = dir.File("disk.img");
  if (!IsRunningUnderWine()) {
    // Natively the console tool protects block devices by other means.
    EXPECT_FALSE(IsWineHostDevicePath(L"\\\\.\\PhysicalDrive0"));
    EXPECT_FALSE(IsWineHostDevicePath(image));
    EXPECT_EQ(WineUnixPathOf(image), "");
    return;
  }
  EXPECT_TRUE(IsWineHostDevicePath(L"\\\\.\\PhysicalDrive0"));
  EXPECT_TRUE(IsWineHostDevicePath(L"\\\\.\\C:"));
  EXPECT_TRUE(IsWineHostDevicePath(L"Z:\\dev\\sda"));
  EXPECT_TRUE(IsWineHostDevicePath(L"z:/dev/loop0"));
  EXPECT_TRUE(IsWineHostDevicePath(L"Z:\\proc\\self\\mem"));
  // A file name that leads to a host device through a link, a folder, a missing file.
  std::wstring link = L"Z:" + Utf8ToWide(TVDE_TEST_DEVICE_LINK);
  std::replace(link.begin(), link.end(), L'/', L'\\');
  EXPECT_TRUE(IsWineHostDevicePath(link)) << U8(link);
  EXPECT_TRUE(IsWineHostDevicePath(dir.File("")));
  EXPECT_TRUE(IsWineHostDevicePath(dir.File("missing.img")));
  EXPECT_TRUE(IsWineHostDevicePath(image));  // not created yet
  { std::ofstream(dir.path() / "disk.img") << "image"; }
  EXPECT_FALSE(IsWineHostDevicePath(image));
  const std::string unixPath = WineUnixPathOf(image);
  EXPECT_TRUE(unixPath.starts_with("/")) << unixPath;
  EXPECT_TRUE(unixPath.ends_with("/disk.img")) << unixPath;
}

TEST(RegularFile, OnlyExistingFilesThatAreNeitherFoldersNorDevices) {
  testing::TempDir dir;
  { std::ofstream(dir.path() / "file.bin") << "x"; }
  EXPECT_TRUE(IsExistingRegularFile(dir.File("file.bin")));
  EXPECT_FALSE(IsExistingRegularFile(dir.File("missing.bin")));
  EXPECT_FALSE(IsExistingRegularFile(dir.File("")));
#ifndef _WIN32
  EXPECT_FALSE(IsExistingRegularFile(L"/dev/null"));
  EXPECT_FALSE(IsExistingRegularFile(Utf8ToWide(TVDE_TEST_DEVICE_LINK)));
#endif
}

}  // namespace
}  // namespace tvde
