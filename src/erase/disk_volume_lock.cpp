// The volume walk of a real erasure, and the release shared by both builds.
#include "erase/disk_volume_lock.h"

#include <algorithm>

#include "base/system_error.h"
#include "disk/volume_disks.h"

namespace tvde {
namespace {

constexpr const wchar_t* kVolumeListName = L"(ボリューム一覧)";
constexpr const wchar_t* kLogNothingForced =
    L"[SAFETY] 取り外せないボリュームがあるため、どのボリュームも強制アンマウントせずに中止しました。";

// A volume of the target disk between the survey and its removal.
struct TargetVolume {
  std::wstring name;  // as the log calls it
  std::wstring device;
  std::unique_ptr<LockableVolume> handle;
  bool locked = false;
};

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

  // First every volume of the disk is opened and locked where it is free, and nothing is forced:
  // a volume that must stay (one the system pages to, one that cannot be opened or placed) ends
  // the job before any other volume has been pulled away by force.
  std::vector<TargetVolume> volumes;
  for (const std::wstring& volumeName : *names) {
    const std::wstring device = VolumeDeviceForName(volumeName);
    if (device.empty()) continue;
    ControlAnswer failure;
    const auto disks = VolumeExtentDisks(system, device, &failure);
    const std::wstring name = VolumeDisplayName(system.MountPoints(volumeName), volumeName);
    if (!disks) {
      // Optical drives, RAM disks and drives without a medium lie on no disk. Any other failure
      // (a volume locked by another process cannot even be opened) may hide one of the target.
      if (failure.onNoDisk) continue;
      list.inUse.push_back(name);
      EmitLog(log, L"[ERROR] ボリューム " + name +
                       L" がどのディスク上にあるかを確認できないため、書き込みを許可できません: " +
                       DescribeSystemError(failure.error));
      continue;
    }
    if (std::find(disks->begin(), disks->end(), diskNumber) == disks->end()) continue;

    TargetVolume volume{name, device, locker.OpenVolume(device), false};
    if (!volume.handle) {
      list.inUse.push_back(name);
      EmitLog(log, L"[ERROR] ボリューム " + name + L" を開けないため、排他ロックできません。");
      continue;
    }
    volume.locked = LockWithRetries(*volume.handle, locker);
    if (!volume.locked && (Contains(pageFileVolumes, device) || system.HostsVirtualDisks(device))) {
      list.inUse.push_back(name);
      EmitLog(
          log,
          L"[ERROR] ボリューム " + name +
              L" はページファイルまたは仮想ディスクを格納しているため、強制アンマウントできません。");
      continue;  // its handle closes here; it was never locked
    }
    volumes.push_back(std::move(volume));
  }
  if (!list.inUse.empty()) {
    EmitLog(log, kLogNothingForced);
    return list;  // the locks taken so far are released with `volumes`
  }

  for (TargetVolume& volume : volumes) {
    bool dismounted = false;
    if (volume.locked) {
      dismounted = volume.handle->Dismount();
    } else {
      EmitLog(log, L"[SAFETY] ボリューム " + volume.name +
                       L" は使用中のため、強制アンマウントしてから排他ロックします。");
      dismounted = volume.handle->Dismount();
      volume.locked = LockWithRetries(*volume.handle, locker);
    }
    if (volume.locked && dismounted) {
      EmitLog(log,
              L"[SAFETY] ボリューム " + volume.name + L" を排他ロック＆アンマウントしました。");
    } else {
      // A file system that is still mounted can write to the disk during or after the
      // erasure: never log such a volume as taken away.
      list.inUse.push_back(volume.name);
      LogFailure(log, volume.name, volume.locked, dismounted);
    }
    list.locks.push_back(std::move(volume.handle));  // the open handle keeps the lock
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
