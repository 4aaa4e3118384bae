// The record a hard stop removes: a file being put in place when the removal begins is waited
// for and removed with the rest, nothing goes in place after it, and a placing that never ends
// holds the end only for the pauses allowed.
#include "base/unfinished_file_record.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tvde {
namespace {

TEST(UnfinishedFileRecord, ARemovalWaitsForAFileBeingPutInPlaceAndNothingGoesInAfterIt) {
  const std::vector<std::string> set = {"cert.html", "audit.txt", "report.json"};
  auto record = std::make_unique<UnfinishedFileRecord<char>>();
  record->Keep(set);
  ASSERT_TRUE(record->BeginPlacing());
  bool placed = false;
  int32_t pauses = 0;
  std::vector<std::string> removed;
  record->RemoveEach(
      [&](const char* path) {
        EXPECT_TRUE(placed) << path;  // not before the file being placed is there
        removed.emplace_back(path);
      },
      [&] {
        if (++pauses == 3) {
          placed = true;
          record->EndPlacing();
        }
      },
      500);
  EXPECT_EQ(pauses, 3);
  EXPECT_EQ(removed, set);
  EXPECT_FALSE(record->BeginPlacing());

  auto stuck = std::make_unique<UnfinishedFileRecord<char>>();
  stuck->Keep(set);
  ASSERT_TRUE(stuck->BeginPlacing());
  pauses = 0;
  removed.clear();
  stuck->RemoveEach([&](const char* path) { removed.emplace_back(path); }, [&] { ++pauses; }, 7);
  EXPECT_EQ(pauses, 7);
  EXPECT_EQ(removed, set);
}

}  // namespace
}  // namespace tvde
