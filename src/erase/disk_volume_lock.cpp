// The volume walk of a real erasure, and the release shared by both builds.
#include "erase/disk_volume_lock.h"

#include <algorithm>

#include "disk/volume_disks.h"

namespace tvde {
namespace {

constexpr const wchar_t* kVolumeListName = L"(ボリューム一覧)";

bool LockWithRetries(LockableVolume& volume, VolumeLocker& locker) {
  for (int attempt = 1; attempt <= kVolumeLockAttempts; ++attempt) {
    if (volume.Lock()) return true;
    if (attempt < kVolumeLockAttempts) locker.Pause(kVolumeLockRetryMs);
  }
  return false;
}

bool Contains(const std::vector<std::wstring>& devices, const std::wstring& device) {
  return std::any_of(devices.begin(), devices.end(),
                     [&](const std::wstring& d) { return SameVolumeDevice(d, device); });
}

void LogFailure(const LogCallback& log, const std::wstring& name, bool locked, bool dismounted) {
  if (!locked && dismounted) {
    EmitLog(log, L"[ERROR] ボリューム " + name +
                     L" の排他ロックに失敗しました (アンマウントのみ実行しました)。");
  } else if (locked) {
    EmitLog(log, L"[ERROR] ボリューム " + name +
                     L" を排他ロックしましたが、アンマウントに失敗しました。");
  } else {
    EmitLog(log, L"[ERROR] ボリューム " + name + L" の排他ロックとアンマウントに失敗しました。");
  }
}

}  // namespace

VolumeLockList LockVolumesOnDisk(DiskSystemQueries& system, VolumeLocker& locker,
                                 int32_t diskNumber, const LogCallback& log) {
  VolumeLockList list;
  const std::optional<std::vector<std::wstring>> names = system.VolumeNames();
  if (!names || diskNumber < 0) {
    // Without the list no volume of the disk can be ruled out.
    list.inUse.push_back(kVolumeListName);
    EmitLog(
        log,
        L"[ERROR] ボリューム一覧を取得できないため、対象ディスク上のボリュームを確認できません。");
    return list;
  }
  const std::vector<std::wstring> pageFileVolumes = PageFileVolumes(system);

  for (const std::wstring& volumeName : *names) {
    const std::wstring device = VolumeDeviceForName(volumeName);
    if (device.empty()) continue;
    const auto disks = VolumeExtentDisks(system, device);
    // Volumes without disk extents (optical drives, RAM disks) lie on no disk.
    if (!disks || std::find(disks->begin(), disks->end(), diskNumber) == disks->end()) continue;

    const std::wstring name = VolumeDisplayName(system.MountPoints(volumeName), volumeName);
    std::unique_ptr<LockableVolume> volume = locker.OpenVolume(device);
    if (!volume) {
      list.inUse.push_back(name);
      EmitLog(log, L"[ERROR] ボリューム " + name + L" を開けないため、排他ロックできません。");
      continue;
    }

    bool locked = LockWithRetries(*volume, locker);
    bool dismounted = false;
    if (locked) {
      dismounted = volume->Dismount();
    } else if (Contains(pageFileVolumes, device) || system.HostsVirtualDisks(device)) {
      list.inUse.push_back(name);
      EmitLog(
          log,
          L"[ERROR] ボリューム " + name +
              L" はページファイルまたは仮想ディスクを格納しているため、強制アンマウントできません。");
      continue;  // `volume` closes here; it was never locked
    } else {
      EmitLog(log, L"[SAFETY] ボリューム " + name +
                       L" は使用中のため、強制アンマウントしてから排他ロックします。");
      dismounted = volume->Dismount();
      locked = LockWithRetries(*volume, locker);
    }

    if (locked && dismounted) {
      EmitLog(log, L"[SAFETY] ボリューム " + name + L" を排他ロック＆アンマウントしました。");
    } else {
      // A file system that is still mounted can write to the disk during or after the
      // erasure: never log such a volume as taken away.
      list.inUse.push_back(name);
      LogFailure(log, name, locked, dismounted);
    }
    list.locks.push_back(std::move(volume));  // the open handle keeps the lock
  }
  return list;
}

void ReleaseVolumes(VolumeLockList& volumes) {
  for (auto& lock : volumes.locks)
    lock.reset();
  volumes.locks.clear();
  volumes.inUse.clear();
}

}  // namespace tvde
