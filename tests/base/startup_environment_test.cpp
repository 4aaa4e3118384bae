// Administrator and WinPE probes, as a decision table and on the real system under Wine, and
// the process hardening of the entry points.
#include "base/startup_environment.h"

#include <gtest/gtest.h>
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include <filesystem>

#include "base/win/system_library.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

TEST(StartupEnvironment, TheMiniNtKeyOrAnXDriveSystemFolderMeansWinPE) {
  EXPECT_TRUE(IsWinPEFromFacts(true, std::nullopt));
  EXPECT_TRUE(IsWinPEFromFacts(false, L"X:\\Windows\\system32"));
  EXPECT_TRUE(IsWinPEFromFacts(false, L"x:\\windows\\system32"));
  EXPECT_FALSE(IsWinPEFromFacts(false, L"C:\\Windows\\system32"));
  EXPECT_FALSE(IsWinPEFromFacts(false, L"D:\\X\\system32"));
  EXPECT_FALSE(IsWinPEFromFacts(false, std::nullopt));
  // Wine is an ordinary Windows whose token is always an administrator's.
  EXPECT_FALSE(IsWinPEEnvironment());
  EXPECT_TRUE(IsRunningAsAdmin());
  EXPECT_EQ(IsRunningAsAdmin(), IsUserAnAdmin() != FALSE);
}

TEST(ProcessHardening, NoErrorBoxesAndNamedLibrariesComeFromTheSystemFolderOnly) {
  HardenProcessStart();
  const UINT quiet = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  EXPECT_EQ(GetErrorMode() & quiet, quiet);
  // A real library planted in the current folder under a name of its own. Asked by name,
  // neither the loader nor SystemLibrary looks there (tried before anything loads it by path:
  // a module already loaded would answer by name); by its full path it loads.
  testing::TempDir dir;
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring planted = dir.File("tvde_planted.dll");
  ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\version.dll").c_str(), planted.c_str(), FALSE));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  EXPECT_EQ(LoadLibraryW(L"tvde_planted.dll"), nullptr);
  EXPECT_FALSE(SystemLibrary(L"tvde_planted.dll").loaded());
  const SystemLibrary iphlpapi(L"iphlpapi.dll");
  EXPECT_NE(iphlpapi.Find<FARPROC>("GetAdaptersInfo"), nullptr);
  EXPECT_EQ(iphlpapi.Find<FARPROC>("NoSuchExport"), nullptr);
  const HMODULE byPath = LoadLibraryW(planted.c_str());
  EXPECT_NE(byPath, nullptr);
  if (byPath != nullptr) FreeLibrary(byPath);
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace tvde
