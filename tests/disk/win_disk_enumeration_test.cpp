// The Windows inventory functions under Wine: they must open no disk or volume there.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "base/host_environment.h"
#include "disk/disk_enumeration.h"
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
