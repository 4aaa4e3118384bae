#pragma once
// Taking the target disk away from the file system before a real erasure, and giving it back.
//
// Windows: every volume with an extent on the disk (lettered, folder-mounted or without a mount
// point) is opened, locked and dismounted (LockVolumesOnDisk); the open handles keep the locks
// until ReleaseVolumes. An image file has no volumes. POSIX: the whole-disk block device is
// claimed exclusively (which also keeps anything from mounting its partitions), and every
// file system still mounted from the disk or its partitions is reported.
//
// Both sides share one contract: `locks` holds what must stay open for the job, and `inUse`
// names the volumes that could not be taken away (still mounted or busy). A caller must not
// write to the disk while `inUse` is not empty: Windows rejects writes over a mounted volume
// only once the partition table is already gone, and elsewhere the file system would be
// corrupted under its feet.

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "base/log_callback.h"
#include "disk/disk_info.h"

namespace tvde {

// A volume held away from the file system; destroying it releases the hold (unlock, close).
class VolumeLock {
 public:
  virtual ~VolumeLock() = default;
};

// Each hold has exactly one owner: the list moves, it never copies.
struct VolumeLockList {
  VolumeLockList() = default;
  VolumeLockList(VolumeLockList&&) noexcept = default;
  VolumeLockList& operator=(VolumeLockList&&) noexcept = default;
  VolumeLockList(const VolumeLockList&) = delete;
  VolumeLockList& operator=(const VolumeLockList&) = delete;

  std::vector<std::unique_ptr<VolumeLock>> locks;  // in the order they were taken
  std::vector<std::wstring> inUse;                 // e.g. "E:" or "/dev/sdb1 (/media/usb)"
};
static_assert(!std::is_copy_constructible_v<VolumeLockList>);
static_assert(std::is_nothrow_move_constructible_v<VolumeLockList>);

// Uses disk.diskNumber on Windows and disk.devicePath on POSIX. Logs one line per volume.
VolumeLockList LockAndDismountVolumes(const DiskInfo& disk, const LogCallback& log);

// Releases every hold in the order taken and empties the list.
void ReleaseVolumes(VolumeLockList& volumes);

}  // namespace tvde
