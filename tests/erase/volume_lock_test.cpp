// The volume walk of a real erasure over fake volumes and a machine described by tables, and
// the pure parts of the POSIX volume check: the mount table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "disk/disk_structures.h"
#include "disk/fake_disk_system.h"
#include "disk/mount_table.h"
#include "engine_recorder.h"
#include "erase/disk_volume_lock.h"

namespace tvde {
namespace {

using ::testing::ElementsAre;
using testing::EngineRecorder;
using testing::ExtentsBytes;
using testing::FakeDiskSystem;
using testing::FakeMachine;
using ::testing::IsEmpty;
using testing::U8;

struct FakeVolumeState {
  bool opens = true;
  int lockFailures = 0;  // the first this many lock requests fail
  bool dismountWorks = true;
};

class FakeVolumeLocker final : public VolumeLocker {
 public:
  std::map<std::wstring, FakeVolumeState> volumes;  // by device; missing ones open normally
  std::vector<std::string> events;
  int32_t openHandles = 0;

  std::unique_ptr<LockableVolume> OpenVolume(const std::wstring& device) override;
  void Pause(uint32_t milliseconds) override {
    events.push_back("pause " + std::to_string(milliseconds));
  }
};

class FakeVolume final : public LockableVolume {
 public:
  FakeVolume(FakeVolumeLocker& locker, std::string name, FakeVolumeState state)
      : locker_(locker), name_(std::move(name)), state_(state) {
    ++locker_.openHandles;
  }
  ~FakeVolume() override {
    --locker_.openHandles;
    locker_.events.push_back("close " + name_);
  }
  bool Lock() override {
    locker_.events.push_back("lock " + name_);
    return state_.lockFailures-- <= 0;
  }
  bool Dismount() override {
    locker_.events.push_back("dismount " + name_);
    return state_.dismountWorks;
  }

 private:
  FakeVolumeLocker& locker_;
  std::string name_;
  FakeVolumeState state_;
};

std::unique_ptr<LockableVolume> FakeVolumeLocker::OpenVolume(const std::wstring& device) {
  const std::string name = U8(device).substr(4);  // without "\\?\" or "\\.\"
  events.push_back("open " + name);
  const FakeVolumeState state = volumes.count(device) != 0 ? volumes[device] : FakeVolumeState{};
  if (!state.opens) return nullptr;
  return std::make_unique<FakeVolume>(*this, name, state);
}

// Volumes "\\?\Volume{n}\" with the given extents; mount points as given.
struct VolumeSpec {
  const wchar_t* id;
  std::vector<uint32_t> disks;
  std::vector<std::wstring> mountPoints;
};

FakeMachine MachineWith(const std::vector<VolumeSpec>& specs) {
  FakeMachine machine;
  std::vector<std::wstring> names;
  for (const VolumeSpec& v : specs) {
    const std::wstring device = std::wstring(L"\\\\?\\Volume{") + v.id + L"}";
    names.push_back(device + L"\\");
    machine.namedVolumes[device] = ExtentsBytes(v.disks);
    machine.mountPoints[device + L"\\"] = v.mountPoints;
  }
  machine.volumeNames = names;
  return machine;
}

std::wstring Device(const wchar_t* id) {
  return std::wstring(L"\\\\?\\Volume{") + id + L"}";
}

std::string Locked(const std::string& name) {
  return "[SAFETY] ボリューム " + name + " を排他ロック＆アンマウントしました。";
}

TEST(DiskVolumeLock, EveryVolumeOnTheDiskIsTakenAwayWhateverItsMountPoint) {
  FakeMachine machine = MachineWith({{L"0", {0}, {L"C:\\"}},
                                     {L"1", {2}, {L"E:\\"}},
                                     {L"2", {2}, {L"C:\\mnt\\data\\"}},
                                     {L"3", {2}, {}},
                                     {L"4", {3, 2}, {L"G:\\"}},
                                     {L"5", {3}, {L"H:\\"}}});
  machine.volumeNames->push_back(L"\\\\?\\Volume{cd}\\");  // an optical drive: no extents
  FakeDiskSystem system(machine);
  FakeVolumeLocker locker;
  EngineRecorder recorder;

  VolumeLockList list = LockVolumesOnDisk(system, locker, 2, recorder.Log());
  EXPECT_THAT(recorder.log, ElementsAre(Locked("E:"), Locked("C:\\mnt\\data"),
                                        Locked("\\\\?\\Volume{3}\\"), Locked("G:")));
  EXPECT_THAT(list.inUse, IsEmpty());
  EXPECT_EQ(list.locks.size(), 4u);
  EXPECT_EQ(locker.openHandles, 4);
  EXPECT_THAT(locker.events, ElementsAre("open Volume{1}", "lock Volume{1}", "dismount Volume{1}",
                                         "open Volume{2}", "lock Volume{2}", "dismount Volume{2}",
                                         "open Volume{3}", "lock Volume{3}", "dismount Volume{3}",
                                         "open Volume{4}", "lock Volume{4}", "dismount Volume{4}"));

  locker.events.clear();
  ReleaseVolumes(list);
  EXPECT_EQ(locker.openHandles, 0);
  EXPECT_THAT(locker.events, ElementsAre("close Volume{1}", "close Volume{2}", "close Volume{3}",
                                         "close Volume{4}"));
  EXPECT_TRUE(list.locks.empty());
}

TEST(DiskVolumeLock, ABusyVolumeIsRetriedThenDismountedByForceAndLockedAgain) {
  FakeMachine machine = MachineWith({{L"1", {1}, {L"E:\\"}}, {L"2", {1}, {L"F:\\"}}});
  FakeDiskSystem system(machine);
  FakeVolumeLocker locker;
  locker.volumes[Device(L"1")].lockFailures = 2;                    // free on the third try
  locker.volumes[Device(L"2")].lockFailures = kVolumeLockAttempts;  // busy until dismounted
  EngineRecorder recorder;

  VolumeLockList list = LockVolumesOnDisk(system, locker, 1, recorder.Log());
  EXPECT_THAT(list.inUse, IsEmpty());
  EXPECT_THAT(
      recorder.log,
      ElementsAre(
          Locked("E:"),
          "[SAFETY] ボリューム F: は使用中のため、強制アンマウントしてから排他ロックします。",
          Locked("F:")));
  const std::string pause = "pause " + std::to_string(kVolumeLockRetryMs);
  std::vector<std::string> expected = {
      "open Volume{1}", "lock Volume{1}",     pause,           "lock Volume{1}", pause,
      "lock Volume{1}", "dismount Volume{1}", "open Volume{2}"};
  for (int i = 0; i < kVolumeLockAttempts; ++i) {
    expected.push_back("lock Volume{2}");
    if (i + 1 < kVolumeLockAttempts) expected.push_back(pause);
  }
  expected.push_back("dismount Volume{2}");
  expected.push_back("lock Volume{2}");
  EXPECT_EQ(locker.events, expected);
}

TEST(DiskVolumeLock, WhatCannotBeTakenAwayIsLoggedAsItHappenedAndListedInUse) {
  struct Case {
    FakeVolumeState state;
    bool pageFile;
    bool hostsVhd;
    const char* line;
    bool dismounted;
  };
  const Case cases[] = {
      {{true, 99, true},
       false,
       false,
       "[ERROR] ボリューム E: の排他ロックに失敗しました (アンマウントのみ実行しました)。",
       true},
      {{true, 0, false},
       false,
       false,
       "[ERROR] ボリューム E: を排他ロックしましたが、アンマウントに失敗しました。",
       true},
      {{true, 99, false},
       false,
       false,
       "[ERROR] ボリューム E: の排他ロックとアンマウントに失敗しました。",
       true},
      {{false, 0, true},
       false,
       false,
       "[ERROR] ボリューム E: を開けないため、排他ロックできません。",
       false},
      // Never pulled away by force: the system pages to it, or virtual disks live on it.
      {{true, 99, true},
       true,
       false,
       "[ERROR] ボリューム E: はページファイルまたは仮想ディスクを格納しているため、強制アンマウントできません。",
       false},
      {{true, 99, true},
       false,
       true,
       "[ERROR] ボリューム E: はページファイルまたは仮想ディスクを格納しているため、強制アンマウントできません。",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    FakeMachine machine = MachineWith({{L"1", {1}, {L"E:\\"}}});
    if (c.pageFile) {
      machine.registry
          [L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory "
           L"Management|ExistingPageFiles"] = {L"\\??\\E:\\pagefile.sys"};
      machine.pathVolumes[L"E:\\"] = Device(L"1");
    }
    if (c.hostsVhd) machine.volumesHostingVhds.insert(Device(L"1"));
    FakeDiskSystem system(machine);
    FakeVolumeLocker locker;
    locker.volumes[Device(L"1")] = c.state;
    EngineRecorder recorder;
    VolumeLockList list = LockVolumesOnDisk(system, locker, 1, recorder.Log());
    ASSERT_FALSE(recorder.log.empty());
    EXPECT_EQ(recorder.log.back(), c.line);
    EXPECT_THAT(list.inUse, ElementsAre(L"E:"));
    const bool dismounted = std::find(locker.events.begin(), locker.events.end(),
                                      "dismount Volume{1}") != locker.events.end();
    EXPECT_EQ(dismounted, c.dismounted);
    ReleaseVolumes(list);
    EXPECT_EQ(locker.openHandles, 0);
  }
}

TEST(DiskVolumeLock, WithoutTheVolumeListNothingCanBeRuledOut) {
  FakeMachine machine = MachineWith({{L"1", {1}, {L"E:\\"}}});
  machine.volumeNames = std::nullopt;
  FakeDiskSystem system(machine);
  FakeVolumeLocker locker;
  EngineRecorder recorder;
  VolumeLockList list = LockVolumesOnDisk(system, locker, 1, recorder.Log());
  EXPECT_THAT(list.inUse, ElementsAre(L"(ボリューム一覧)"));
  EXPECT_THAT(
      recorder.log,
      ElementsAre(
          "[ERROR] ボリューム一覧を取得できないため、対象ディスク上のボリュームを確認できません。"));
  EXPECT_THAT(locker.events, IsEmpty());

  // A disk with no volume at all needs nothing.
  machine.volumeNames = std::vector<std::wstring>{};
  EXPECT_TRUE(LockVolumesOnDisk(system, locker, 1, recorder.Log()).inUse.empty());
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
