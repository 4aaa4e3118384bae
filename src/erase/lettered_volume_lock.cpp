// Lock loop over the lettered volumes, and the release shared by both builds.
#include "erase/lettered_volume_lock.h"

namespace tvde {

VolumeLockList LockLetteredVolumes(VolumeSystem& system, int32_t diskNumber,
                                   const LogCallback& log) {
  VolumeLockList list;
  const std::optional<std::vector<std::wstring>> roots = system.LogicalDriveRoots();
  if (!roots) return list;

  for (const std::wstring& root : *roots) {
    if (root.size() < 2) continue;
    std::unique_ptr<LockableVolume> volume = system.OpenVolume(VolumePathForRoot(root));
    if (!volume) continue;
    std::vector<int32_t> extentDisks;
    if (!volume->QueryDiskExtents(extentDisks) || !ExtentsIncludeDisk(extentDisks, diskNumber)) {
      continue;  // `volume` closes as it goes out of scope
    }

    const std::wstring name = root.substr(0, 2);
    const bool locked = volume->Lock();
    const bool dismounted = volume->Dismount();
    if (locked && dismounted) {
      EmitLog(log, L"[SAFETY] ボリューム " + name + L" を排他ロック＆アンマウントしました。");
    } else {
      // A file system that is still mounted can write to the disk during or after the
      // erasure: never log such a volume as locked.
      list.inUse.push_back(name);
      if (!locked && dismounted) {
        EmitLog(log, L"[ERROR] ボリューム " + name +
                         L" の排他ロックに失敗しました (アンマウントのみ実行しました)。");
      } else if (locked) {
        EmitLog(log, L"[ERROR] ボリューム " + name +
                         L" を排他ロックしましたが、アンマウントに失敗しました。");
      } else {
        EmitLog(log,
                L"[ERROR] ボリューム " + name + L" の排他ロックとアンマウントに失敗しました。");
      }
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
