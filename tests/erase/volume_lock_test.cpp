// The lettered-volume lock loop over fake volumes, and the pure parts of both platforms'
// volume checks: drive-string lists, disk-extent answers and the mount table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "base/byte_order.h"
#include "disk/mount_table.h"
#include "engine_recorder.h"
#include "erase/lettered_volume_lock.h"
#include "erase/volume_extents.h"

namespace tvde {
namespace {

using ::testing::ElementsAre;
using testing::EngineRecorder;
using ::testing::IsEmpty;
using testing::U8;

struct FakeVolumeState {
  bool opens = true;
  bool queryWorks = true;
  std::vector<uint32_t> disks;
  bool lockWorks = true;
  bool dismountWorks = true;
};

FakeVolumeState OnDisks(std::vector<uint32_t> disks, bool lockWorks = true,
                        bool dismountWorks = true) {
  FakeVolumeState state;
  state.disks = std::move(disks);
  state.lockWorks = lockWorks;
  state.dismountWorks = dismountWorks;
  return state;
}

class FakeVolumeSystem final : public VolumeSystem {
 public:
  std::vector<std::wstring> roots;
  bool rootsAvailable = true;
  std::map<std::wstring, FakeVolumeState> volumes;  // by volume path
  std::vector<std::string> events;
  int32_t openHandles = 0;

  std::optional<std::vector<std::wstring>> LogicalDriveRoots() override {
    if (!rootsAvailable) return std::nullopt;
    return roots;
  }
  std::unique_ptr<LockableVolume> OpenVolume(const std::wstring& path) override;
};

class FakeVolume final : public LockableVolume {
 public:
  FakeVolume(FakeVolumeSystem& system, std::wstring path, FakeVolumeState state)
      : system_(system), path_(std::move(path)), state_(state) {
    ++system_.openHandles;
  }
  ~FakeVolume() override {
    --system_.openHandles;
    system_.events.push_back("close " + U8(path_));
  }
  bool QueryDiskExtents(std::vector<int32_t>& extentDisks) override {
    for (uint32_t disk : state_.disks)
      extentDisks.push_back(static_cast<int32_t>(disk));
    return state_.queryWorks;
  }
  bool Lock() override {
    system_.events.push_back("lock " + U8(path_));
    return state_.lockWorks;
  }
  bool Dismount() override {
    system_.events.push_back("dismount " + U8(path_));
    return state_.dismountWorks;
  }

 private:
  FakeVolumeSystem& system_;
  std::wstring path_;
  FakeVolumeState state_;
};

std::unique_ptr<LockableVolume> FakeVolumeSystem::OpenVolume(const std::wstring& path) {
  events.push_back("open " + U8(path));
  const auto found = volumes.find(path);
  if (found == volumes.end() || !found->second.opens) return nullptr;
  return std::make_unique<FakeVolume>(*this, path, found->second);
}

TEST(LetteredVolumeLock, LocksEveryVolumeOnTheDiskAndReleasesThemAtTheEnd) {
  FakeVolumeSystem system;
  system.roots = {L"C:\\", L"E:\\", L"F:\\", L"G:\\", L"H:\\", L"I:\\", L"X"};
  system.volumes[L"\\\\.\\C:"] = OnDisks({0});
  system.volumes[L"\\\\.\\E:"] = OnDisks({2});
  system.volumes[L"\\\\.\\F:"] = OnDisks({3, 2});  // spans two disks
  system.volumes[L"\\\\.\\G:"] = OnDisks({3});
  system.volumes[L"\\\\.\\H:"].opens = false;
  system.volumes[L"\\\\.\\I:"] = OnDisks({2});
  system.volumes[L"\\\\.\\I:"].queryWorks = false;
  EngineRecorder recorder;

  VolumeLockList list = LockLetteredVolumes(system, 2, recorder.Log());
  EXPECT_THAT(recorder.log,
              ElementsAre("[SAFETY] ボリューム E: を排他ロック＆アンマウントしました。",
                          "[SAFETY] ボリューム F: を排他ロック＆アンマウントしました。"));
  EXPECT_EQ(list.locks.size(), 2u);
  EXPECT_THAT(list.inUse, IsEmpty());
  EXPECT_EQ(system.openHandles, 2);  // C:, G: and I: were closed again at once
  EXPECT_THAT(system.events,
              ElementsAre("open \\\\.\\C:", "close \\\\.\\C:", "open \\\\.\\E:", "lock \\\\.\\E:",
                          "dismount \\\\.\\E:", "open \\\\.\\F:", "lock \\\\.\\F:",
                          "dismount \\\\.\\F:", "open \\\\.\\G:", "close \\\\.\\G:",
                          "open \\\\.\\H:", "open \\\\.\\I:", "close \\\\.\\I:"));

  system.events.clear();
  ReleaseVolumes(list);
  EXPECT_EQ(system.openHandles, 0);
  EXPECT_THAT(system.events, ElementsAre("close \\\\.\\E:", "close \\\\.\\F:"));
  EXPECT_TRUE(list.locks.empty());
}

TEST(LetteredVolumeLock, FailedLockOrDismountIsLoggedAsItHappenedAndListedInUse) {
  FakeVolumeSystem system;
  system.roots = {L"E:\\", L"F:\\", L"K:\\"};
  system.volumes[L"\\\\.\\E:"] = OnDisks({1}, false);
  system.volumes[L"\\\\.\\F:"] = OnDisks({1}, true, false);
  system.volumes[L"\\\\.\\K:"] = OnDisks({1}, false, false);
  EngineRecorder recorder;
  VolumeLockList list = LockLetteredVolumes(system, 1, recorder.Log());
  EXPECT_THAT(
      recorder.log,
      ElementsAre(
          "[ERROR] ボリューム E: の排他ロックに失敗しました (アンマウントのみ実行しました)。",
          "[ERROR] ボリューム F: を排他ロックしましたが、アンマウントに失敗しました。",
          "[ERROR] ボリューム K: の排他ロックとアンマウントに失敗しました。"));
  EXPECT_THAT(list.inUse, ElementsAre(L"E:", L"F:", L"K:"));
  // The job goes on: the handles are still held until the release.
  EXPECT_EQ(list.locks.size(), 3u);
  ReleaseVolumes(list);
  EXPECT_EQ(system.openHandles, 0);
  EXPECT_TRUE(list.inUse.empty());
}

TEST(LetteredVolumeLock, NoVolumeOnTheDiskOrNoDriveListGivesAnEmptyListWithoutLines) {
  FakeVolumeSystem system;
  system.roots = {L"C:\\"};
  system.volumes[L"\\\\.\\C:"] = OnDisks({0});
  EngineRecorder recorder;
  EXPECT_TRUE(LockLetteredVolumes(system, 5, recorder.Log()).locks.empty());
  system.rootsAvailable = false;
  EXPECT_TRUE(LockLetteredVolumes(system, 0, recorder.Log()).locks.empty());
  EXPECT_TRUE(recorder.log.empty());
  EXPECT_EQ(system.openHandles, 0);
}

TEST(VolumeExtents, VolumesBelongToTheDisksOfTheirExtents) {
  EXPECT_TRUE(ExtentsIncludeDisk({3, 7}, 7));
  EXPECT_FALSE(ExtentsIncludeDisk({3, 7}, 0));
  EXPECT_FALSE(ExtentsIncludeDisk({0}, -1));  // no disk number matches "no disk"
  EXPECT_FALSE(ExtentsIncludeDisk({}, 0));
  EXPECT_EQ(U8(VolumePathForRoot(L"E:\\")), "\\\\.\\E:");
}

constexpr char kMountInfo[] =
    "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
    "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw,discard\n"
    "40 27 8:17 / /media/usb\\040stick rw,nosuid shared:30 master:2 - vfat /dev/sdb1 rw\n"
    "41 27 0:45 /@home /home rw - btrfs /dev/sdb2 rw,space_cache\n"
    "garbage line\n"
    "42 27 8:33 / /mnt/other rw - xfs /dev/sdc1 rw\n";

TEST(MountTable, ParsesMountInfoWithOptionalFieldsAndEscapes) {
  const auto mounts = ParseMountInfo(kMountInfo);
  ASSERT_EQ(mounts.size(), 5u);
  EXPECT_EQ(mounts[2].device, (DeviceNumber{8, 17}));
  EXPECT_EQ(mounts[2].mountPoint, "/media/usb stick");
  EXPECT_EQ(mounts[2].source, "/dev/sdb1");
  EXPECT_EQ(mounts[3].device, (DeviceNumber{0, 45}));
  EXPECT_EQ(mounts[3].source, "/dev/sdb2");
  EXPECT_EQ(ParseDeviceNumber("259:3\n"), (DeviceNumber{259, 3}));
  EXPECT_EQ(ParseDeviceNumber("8:"), std::nullopt);
  EXPECT_EQ(ParseDeviceNumber("a:1"), std::nullopt);
}

TEST(MountTable, FindsMountsOfTheDiskByDeviceNumberOrBySource) {
  // Disk sdb (8:16) with partitions 8:17 and 8:18; btrfs reports an anonymous 0:45.
  const std::vector<DeviceNumber> disk = {{8, 16}, {8, 17}, {8, 18}};
  auto resolve = [](const std::string& source) -> std::optional<DeviceNumber> {
    if (source == "/dev/sdb2") return DeviceNumber{8, 18};
    if (source == "/dev/sdc1") return DeviceNumber{8, 33};
    return std::nullopt;
  };
  const auto found = MountsOnDevices(ParseMountInfo(kMountInfo), disk, resolve);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].mountPoint, "/media/usb stick");
  EXPECT_EQ(found[1].mountPoint, "/home");
  EXPECT_EQ(MountsOnDevices(ParseMountInfo(kMountInfo), disk, {}).size(), 1u);
}

}  // namespace
}  // namespace tvde
