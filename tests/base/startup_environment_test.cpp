// Administrator and WinPE probes and the process hardening of the entry points, on the real
// system under Wine and as a decision table.
#include "base/startup_environment.h"

#include <gtest/gtest.h>
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include <filesystem>

#include "base/host_environment.h"
#include "base/win/system_library.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

TEST(WinPEDetection, TheMiniNtKeyOrAnXDriveSystemDirectoryMeansWinPE) {
  EXPECT_TRUE(IsWinPEFromFacts(true, std::nullopt));
  EXPECT_TRUE(IsWinPEFromFacts(true, L"C:\\Windows\\system32"));
  EXPECT_TRUE(IsWinPEFromFacts(false, L"X:\\Windows\\system32"));
  EXPECT_TRUE(IsWinPEFromFacts(false, L"x:\\windows\\system32"));  // lower case too
  EXPECT_FALSE(IsWinPEFromFacts(false, L"C:\\Windows\\system32"));
  EXPECT_FALSE(IsWinPEFromFacts(false, L"D:\\X\\system32"));
  EXPECT_FALSE(IsWinPEFromFacts(false, L""));
  EXPECT_FALSE(IsWinPEFromFacts(false, std::nullopt));
}

TEST(WinPEDetection, ThisSystemIsAnOrdinaryWindows) {
  HKEY key = nullptr;
  const bool miniNt =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0, KEY_READ,
                    &key) == ERROR_SUCCESS;
  if (miniNt) RegCloseKey(key);
  wchar_t directory[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(directory, MAX_PATH), 0u);
  const bool onX = directory[0] == L'X' || directory[0] == L'x';
  EXPECT_EQ(IsWinPEEnvironment(), miniNt || onX);
  if (IsRunningUnderWine()) {
    EXPECT_FALSE(IsWinPEEnvironment());
  }
}

TEST(AdministratorCheck, AgreesWithTheShellAndWineReportsAnAdministrator) {
  EXPECT_EQ(IsRunningAsAdmin(), IsUserAnAdmin() != FALSE);
  // Wine's token is always a member of the Administrators group.
  if (IsRunningUnderWine()) {
    EXPECT_TRUE(IsRunningAsAdmin());
  }
}

TEST(ProcessHardening, NoErrorBoxesAndNamedLibrariesComeFromTheSystemFolderOnly) {
  HardenProcessStart();
  EXPECT_EQ(GetErrorMode() & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
            static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));

  // A real library planted in the current folder under a name of its own.
  testing::TempDir dir;
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring planted = dir.File("tvde_planted.dll");
  ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\version.dll").c_str(), planted.c_str(), FALSE));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());

  // Asked by name, neither the loader nor SystemLibrary looks there (before anything loads
  // the file by its path: a module already loaded would answer by name).
  EXPECT_EQ(LoadLibraryW(L"tvde_planted.dll"), nullptr);
  EXPECT_FALSE(SystemLibrary(L"tvde_planted.dll").loaded());
  const SystemLibrary iphlpapi(L"iphlpapi.dll");
  EXPECT_TRUE(iphlpapi.loaded());
  EXPECT_NE(iphlpapi.Find<FARPROC>("GetAdaptersInfo"), nullptr);
  EXPECT_EQ(iphlpapi.Find<FARPROC>("NoSuchExport"), nullptr);
  // Only its place keeps the planted file out: by its full path it loads.
  const HMODULE byPath = LoadLibraryW(planted.c_str());
  EXPECT_NE(byPath, nullptr);
  if (byPath != nullptr) FreeLibrary(byPath);
  std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace tvde
