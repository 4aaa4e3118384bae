// The Windows inventory under Wine: no disk is listed or opened there, and the system's own
// answers come through.
#include <gtest/gtest.h>

#ifdef _WIN32
#include "disk/disk_enumeration.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

TEST(WindowsDiskEnumeration, UnderWineNothingIsListedAndTheSystemAnswersComeThrough) {
  EXPECT_TRUE(EnumeratePhysicalDisks(0, 0).empty());
  EXPECT_TRUE(EnumeratePhysicalDisks(1, 1).empty());
  EXPECT_EQ(FindBootMediaDiskNumber(), -1);
  const auto system = MakeWin32DiskQueries();
  const auto roots = system->LogicalDriveRoots();
  ASSERT_TRUE(roots.has_value());
  EXPECT_NE(std::find(roots->begin(), roots->end(), system->SystemDirectory()->substr(0, 3)),
            roots->end());
  testing::TempDir dir;
  EXPECT_FALSE(system->FileExists(dir.File("boot.wim")));
  EXPECT_EQ(system->AnsiToWide("WDC WD10EZEX"), L"WDC WD10EZEX");
}

}  // namespace
}  // namespace tvde
#endif
