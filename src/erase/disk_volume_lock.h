#pragma once
// Taking every volume of a disk away from the file system, over two small interfaces: the
// disk queries name the volumes and their extents, a locker opens, locks and dismounts them.
// The Windows build plugs in the Win32 calls; tests plug in volumes of their own (tests must
// never open a real volume).

#include <cstdint>
#include <memory>
#include <string>

#include "base/log_callback.h"
#include "disk/disk_queries.h"
#include "erase/volume_lock.h"

namespace tvde {

// One volume opened for reading and writing. Destroying it closes it, unlocking it first when
// a lock was taken.
class LockableVolume : public VolumeLock {
 public:
  virtual bool Lock() = 0;      // exclusive: fails while anyone else has files open on it
  virtual bool Dismount() = 0;  // invalidates every other open handle on the volume
};

class VolumeLocker {
 public:
  virtual ~VolumeLocker() = default;
  // Null when the volume cannot be opened for reading and writing.
  virtual std::unique_ptr<LockableVolume> OpenVolume(const std::wstring& volumeDevice) = 0;
  virtual void Pause(uint32_t milliseconds) = 0;
};

// A lock fails while some process (often the system itself, briefly) has a file open.
inline constexpr int kVolumeLockAttempts = 5;
inline constexpr uint32_t kVolumeLockRetryMs = 200;

// Every volume with an extent on disk `diskNumber`, lettered, folder-mounted or without any
// mount point, is locked (with retries) and dismounted. A volume that stays busy is dismounted
// by force and locked again, since a dismounted volume that is not locked mounts again on the
// next access, except a volume that holds a page file or attached virtual disks: pulling it
// away would crash the system or the virtual disks. Whatever cannot be taken away is logged
// and listed in `inUse` (the caller then must not write); so is a volume list that cannot be
// read, and a volume whose disks cannot be asked for a reason other than lying on no disk.
// Nothing is dismounted by force until every volume of the disk is known to be removable.
VolumeLockList LockVolumesOnDisk(DiskSystemQueries& system, VolumeLocker& locker,
                                 int32_t diskNumber, const LogCallback& log);

}  // namespace tvde
