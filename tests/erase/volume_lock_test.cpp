// The lettered-volume lock loop of the Windows build over fake volumes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "engine_recorder.h"
#include "erase/lettered_volume_lock.h"
#include "erase/volume_extents.h"

namespace tvde {
namespace {

using ::testing::ElementsAre;

// Volumes by letter with the disks of their extents ("" means no extents). Every call is
// recorded; letters not in the map do not open.
class FakeVolumeSystem final : public VolumeSystem {
 public:
  std::optional<std::vector<std::wstring>> roots;
  std::map<char, std::string> volumes;
  std::vector<std::string> events;

  std::optional<std::vector<std::wstring>> LogicalDriveRoots() override { return roots; }
  std::unique_ptr<LockableVolume> OpenVolume(const std::wstring& path) override {
    const char letter = static_cast<char>(path.at(4));
    events.push_back(std::string("open ") + letter);
    if (volumes.count(letter) == 0) return nullptr;
    return std::make_unique<Handle>(*this, letter);
  }

 private:
  struct Handle final : LockableVolume {
    Handle(FakeVolumeSystem& owner, char volume) : system(owner), letter(volume) {}
    ~Handle() override { system.events.push_back(std::string("close ") + letter); }
    bool QueryDiskExtents(std::vector<int32_t>& disks) override {
      for (const char d : system.volumes[letter])
        disks.push_back(d - '0');
      return !system.volumes[letter].empty();
    }
    bool Lock() override { return Record("lock"); }
    bool Dismount() override { return Record("dismount"); }
    bool Record(const char* what) {
      system.events.push_back(what + std::string(" ") + letter);
      return true;
    }
    FakeVolumeSystem& system;
    char letter;
  };
};

TEST(LetteredVolumeLock, LocksAndDismountsEveryVolumeOnTheDiskUntilReleased) {
  FakeVolumeSystem system;
  system.roots = {{L"C:\\", L"E:\\", L"F:\\", L"G:\\", L"H:\\", L"I:\\", L"X"}};
  system.volumes = {{'C', "0"}, {'E', "2"}, {'F', "32"}, {'G', "3"}, {'I', ""}};
  testing::EngineRecorder recorder;
  VolumeLockList list = LockLetteredVolumes(system, 2, recorder.Log());
  EXPECT_THAT(recorder.log,
              ElementsAre("[SAFETY] ボリューム E: を排他ロック＆アンマウントしました。",
                          "[SAFETY] ボリューム F: を排他ロック＆アンマウントしました。"));
  EXPECT_TRUE(list.inUse.empty());
  // Volumes of other disks are closed at once; H: does not open, I: answers no extents.
  EXPECT_THAT(system.events,
              ElementsAre("open C", "close C", "open E", "lock E", "dismount E", "open F", "lock F",
                          "dismount F", "open G", "close G", "open H", "open I", "close I"));
  system.events.clear();
  ReleaseVolumes(list);
  EXPECT_THAT(system.events, ElementsAre("close E", "close F"));
  // No drive list: nothing held, nothing said.
  system.roots = std::nullopt;
  EXPECT_TRUE(LockLetteredVolumes(system, 2, recorder.Log()).locks.empty());
  EXPECT_EQ(recorder.log.size(), 2u);
  EXPECT_FALSE(ExtentsIncludeDisk({0}, -1));  // no disk number matches "no disk"
}

}  // namespace
}  // namespace tvde
