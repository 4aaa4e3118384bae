#pragma once
// The lettered-volume lock loop over a small interface of volume operations: the Windows
// build plugs in the Win32 calls, tests plug in volumes of their own (tests must never open
// a real volume).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/log_callback.h"
#include "erase/volume_extents.h"
#include "erase/volume_lock.h"

namespace tvde {

// One opened volume. Destroying it closes it, unlocking it first when a lock was requested.
class LockableVolume : public VolumeLock {
 public:
  // Disk numbers of the volume's extents, in order.
  virtual bool QueryDiskExtents(std::vector<int32_t>& extentDisks) = 0;
  virtual bool Lock() = 0;
  virtual bool Dismount() = 0;
};

class VolumeSystem {
 public:
  virtual ~VolumeSystem() = default;
  // Roots such as "C:\"; nothing when the list cannot be read.
  virtual std::optional<std::vector<std::wstring>> LogicalDriveRoots() = 0;
  // Null when the volume cannot be opened for reading and writing.
  virtual std::unique_ptr<LockableVolume> OpenVolume(const std::wstring& volumePath) = 0;
};

// Locks and dismounts every lettered volume with an extent on disk `diskNumber`. A volume that
// cannot be opened or queried is skipped; one whose lock or dismount fails is still held (and
// released later) but logged as it really went and listed in `inUse`.
VolumeLockList LockLetteredVolumes(VolumeSystem& system, int32_t diskNumber,
                                   const LogCallback& log);

}  // namespace tvde
