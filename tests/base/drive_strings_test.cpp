// Splitting the logical drive list, and the list of the running system.
#include "base/drive_strings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tvde {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(DriveStrings, SplitsTheDoubleZeroTerminatedList) {
  const wchar_t list[] = L"C:\\\0E:\\\0Z:\\\0";
  EXPECT_THAT(SplitDriveStrings({list, 12}), ElementsAre(L"C:\\", L"E:\\", L"Z:\\"));
  EXPECT_THAT(SplitDriveStrings({list, 13}), ElementsAre(L"C:\\", L"E:\\", L"Z:\\"));
  EXPECT_THAT(SplitDriveStrings({list, 4}), ElementsAre(L"C:\\"));
  EXPECT_THAT(SplitDriveStrings({}), IsEmpty());
  const wchar_t early[] = L"C:\\\0\0E:\\\0";
  EXPECT_THAT(SplitDriveStrings({early, 9}), ElementsAre(L"C:\\"));  // the empty string ends it
}

TEST(DriveStrings, RunningSystemListsItsDrives) {
  const auto roots = QueryLogicalDriveRoots();
  ASSERT_TRUE(roots.has_value());
#ifdef _WIN32
  // Wine always has C: (and Z: for the host's root).
  EXPECT_THAT(*roots, ::testing::Contains(L"C:\\"));
#else
  EXPECT_THAT(*roots, IsEmpty());
#endif
}

}  // namespace
}  // namespace tvde
