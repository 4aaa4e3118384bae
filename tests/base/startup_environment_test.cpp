// Administrator and WinPE probes, on the real system under Wine and as a decision table.
#include "base/startup_environment.h"

#include <gtest/gtest.h>
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include "base/host_environment.h"

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

}  // namespace
}  // namespace tvde
