// The volume walk of a real erasure on Windows over fake volumes and a machine described by
// tables: every volume of the disk taken away, retries, the forced dismount and what it spares.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "disk/fake_disk_system.h"
#include "disk/mount_table.h"
#include "engine_recorder.h"
#include "erase/disk_volume_lock.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using ::testing::ElementsAre;

// Records every call as "open Volume{1}", "lock Volume{1}", "pause200", ... Volumes not in the
// map open, lock and dismount at once.
struct FakeVolumeLocker final : VolumeLocker {
  struct State {
    bool opens = true;
    int lockFailures = 0;  // the first this many lock requests fail
    bool dismountWorks = true;
  };
  struct Volume final : LockableVolume {
    Volume(FakeVolumeLocker& owner, std::string volume, State s)
        : locker(owner), name(std::move(volume)), state(s) {
      ++locker.openHandles;
    }
    ~Volume() override {
      --locker.openHandles;
      Record("close");
    }
    bool Lock() override { return Record("lock") && state.lockFailures-- <= 0; }
    bool Dismount() override { return Record("dismount") && state.dismountWorks; }
    bool Record(const char* verb) {
      locker.events.push_back(verb + (" " + name));
      return true;
    }
    FakeVolumeLocker& locker;
    std::string name;
    State state;
  };

  std::unique_ptr<LockableVolume> OpenVolume(const std::wstring& device) override {
    const std::string name = WideToUtf8(device).substr(4);  // without "\\?\"
    events.push_back("open " + name);
    const State state = volumes[device];
    return state.opens ? std::make_unique<Volume>(*this, name, state) : nullptr;
  }
  void Pause(uint32_t milliseconds) override {
    events.push_back("pause" + std::to_string(milliseconds));
  }

  std::map<std::wstring, State> volumes;
  std::vector<std::string> events;
  int32_t openHandles = 0;
};

std::wstring Device(const wchar_t* id) {
  return std::wstring(L"\\\\?\\Volume{") + id + L"}";
}

const std::string kNothingForced =
    "[SAFETY] 取り外せないボリュームがあるため、どのボリュームも強制アンマウントせずに中止しました。";

std::string Locked(const std::string& name) {
  return "[SAFETY] ボリューム " + name + " を排他ロック＆アンマウントしました。";
}

TEST(DiskVolumeLock, EveryVolumeOnTheDiskIsTakenAwayWhateverItsMountPoint) {
  FakeDiskSystem system;
  system.AddVolume(L"0", {0}, {L"C:\\"});
  system.AddVolume(L"1", {2}, {L"E:\\"});
  system.AddVolume(L"2", {2}, {L"C:\\mnt\\data\\"});
  system.AddVolume(L"3", {2});
  system.AddVolume(L"4", {3, 2}, {L"G:\\"});
  system.AddVolume(L"5", {3}, {L"H:\\"});
  system.AddVolume(L"cd", {});  // an optical drive: no extents
  FakeVolumeLocker locker;
  EngineRecorder recorder;
  VolumeLockList list = LockVolumesOnDisk(system, locker, 2, recorder.Log());
  EXPECT_THAT(recorder.log, ElementsAre(Locked("E:"), Locked("C:\\mnt\\data"),
                                        Locked("\\\\?\\Volume{3}\\"), Locked("G:")));
  EXPECT_TRUE(list.inUse.empty());
  EXPECT_EQ(locker.openHandles, 4);
  // Every volume is locked before the first is dismounted.
  EXPECT_THAT(locker.events,
              ElementsAre("open Volume{1}", "lock Volume{1}", "open Volume{2}", "lock Volume{2}",
                          "open Volume{3}", "lock Volume{3}", "open Volume{4}", "lock Volume{4}",
                          "dismount Volume{1}", "dismount Volume{2}", "dismount Volume{3}",
                          "dismount Volume{4}"));
  locker.events.clear();
  ReleaseVolumes(list);
  EXPECT_EQ(locker.openHandles, 0);
  EXPECT_THAT(locker.events, ElementsAre("close Volume{1}", "close Volume{2}", "close Volume{3}",
                                         "close Volume{4}"));

  // Without the volume list nothing can be ruled out; a disk without volumes needs nothing.
  locker.events.clear();
  system.volumeNames = std::nullopt;
  EXPECT_THAT(LockVolumesOnDisk(system, locker, 2, recorder.Log()).inUse,
              ElementsAre(L"(ボリューム一覧)"));
  EXPECT_EQ(
      recorder.log.back(),
      "[ERROR] ボリューム一覧を取得できないため、対象ディスク上のボリュームを確認できません。");
  system.volumeNames.emplace();
  EXPECT_TRUE(LockVolumesOnDisk(system, locker, 2, recorder.Log()).inUse.empty());
  EXPECT_TRUE(locker.events.empty());
}

TEST(DiskVolumeLock, BusyVolumesAreRetriedDismountedByForceUnlessTheSystemNeedsThem) {
  const std::string e = "[ERROR] ボリューム E: ";
  const std::string busy =
      "[SAFETY] ボリューム E: は使用中のため、強制アンマウントしてから排他ロックします。";
  const std::string spared =
      e + "はページファイルまたは仮想ディスクを格納しているため、強制アンマウントできません。";
  const std::string five = "lock pause200 lock pause200 lock pause200 lock pause200 lock";
  enum Needs { kNothing, kPageFile, kVirtualDisks };
  struct Case {
    FakeVolumeLocker::State state;
    Needs needs;
    std::vector<std::string> log;
    std::string events;  // the verbs only
  };
  const Case cases[] = {
      {{true, 2, true}, kNothing, {Locked("E:")}, "open lock pause200 lock pause200 lock dismount"},
      {{true, 5, true}, kNothing, {busy, Locked("E:")}, "open " + five + " dismount lock"},
      // Whatever cannot be taken away is logged as it happened and listed in use.
      {{true, 99, true},
       kNothing,
       {busy, e + "の排他ロックに失敗しました (アンマウントのみ実行しました)。"},
       "open " + five + " dismount " + five},
      {{true, 0, false},
       kNothing,
       {e + "を排他ロックしましたが、アンマウントに失敗しました。"},
       "open lock dismount"},
      {{true, 99, false},
       kNothing,
       {busy, e + "の排他ロックとアンマウントに失敗しました。"},
       "open " + five + " dismount " + five},
      {{false, 0, true},
       kNothing,
       {e + "を開けないため、排他ロックできません。", kNothingForced},
       "open"},
      // Never pulled away by force: the system pages to it, or virtual disks live on it.
      {{true, 99, true}, kPageFile, {spared, kNothingForced}, "open " + five + " close"},
      {{true, 99, true}, kVirtualDisks, {spared, kNothingForced}, "open " + five + " close"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events);
    FakeDiskSystem system;
    system.AddVolume(L"1", {1}, {L"E:\\"});
    if (c.needs == kPageFile) {
      system.registry
          [L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory "
           L"Management|ExistingPageFiles"] = {L"\\??\\E:\\pagefile.sys"};
      system.pathVolumes[L"E:\\"] = Device(L"1");
    }
    if (c.needs == kVirtualDisks) system.volumesHostingVhds.insert(Device(L"1"));
    FakeVolumeLocker locker;
    locker.volumes[Device(L"1")] = c.state;
    EngineRecorder recorder;
    VolumeLockList list = LockVolumesOnDisk(system, locker, 1, recorder.Log());
    EXPECT_EQ(recorder.log, c.log);
    std::string verbs;
    for (const std::string& event : locker.events)
      verbs.append(verbs.empty() ? "" : " ").append(event, 0, event.find(' '));
    EXPECT_EQ(verbs, c.events);
    EXPECT_EQ(list.inUse, c.log.back() == Locked("E:") ? std::vector<std::wstring>{}
                                                       : std::vector<std::wstring>{L"E:"});
    ReleaseVolumes(list);
    EXPECT_EQ(locker.openHandles, 0);
  }
}

// A volume that must stay, wherever it comes in the list, stops the job before any busy volume
// of the disk has been dismounted by force; so does one whose disks cannot be asked for any
// other reason than lying on no disk (a volume locked by another process cannot be opened).
TEST(DiskVolumeLock, NothingIsForcedUntilEveryVolumeOfTheDiskIsKnownToBeRemovable) {
  const uint32_t accessDenied = 5;
  const std::string unplaced = "[ERROR] ボリューム F: がどのディスク上にあるかを確認できないため";
  const std::string spared = "[ERROR] ボリューム F: はページファイルまたは仮想ディスクを格納して";
  for (const bool lockedElsewhere : {false, true}) {
    FakeDiskSystem system;
    system.AddVolume(L"1", {1}, {L"E:\\"});  // busy: would be forced
    system.AddVolume(L"2", {1}, {L"F:\\"});
    system.AddVolume(L"cd", {}, {L"G:\\"});
    system.volumeFailures[Device(L"cd")] = {false, false, 0, 1, true};  // on no disk
    if (lockedElsewhere) {
      system.volumeFailures[Device(L"2")] = {false, false, 0, accessDenied, false};
    } else {
      system.volumesHostingVhds.insert(Device(L"2"));
    }
    FakeVolumeLocker locker;
    locker.volumes[Device(L"1")] = {true, 99, true};
    locker.volumes[Device(L"2")] = {true, 99, true};
    EngineRecorder recorder;
    VolumeLockList list = LockVolumesOnDisk(system, locker, 1, recorder.Log());
    EXPECT_EQ(list.inUse, std::vector<std::wstring>{L"F:"});
    ASSERT_EQ(recorder.log.size(), 2u);
    EXPECT_TRUE(recorder.log[0].starts_with(lockedElsewhere ? unplaced : spared))
        << recorder.log[0];
    EXPECT_EQ(recorder.log[1], kNothingForced);
    for (const std::string& event : locker.events)
      EXPECT_FALSE(event.starts_with("dismount")) << event;
    ReleaseVolumes(list);
    EXPECT_EQ(locker.openHandles, 0);
  }
}

}  // namespace
}  // namespace tvde
