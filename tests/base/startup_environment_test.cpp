// Administrator and WinPE probes, as a decision table and on the real system under Wine.
#include "base/startup_environment.h"

#include <gtest/gtest.h>
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

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

}  // namespace
}  // namespace tvde
