#pragma once
// Whether a disk opened for writing is still the disk the list showed. The list's record is
// taken when the list is filled; by the time of a write the disk may have been unplugged and
// another one plugged in under the same number, resized, taken offline or made the system's.
// Every fact is asked of the open handle itself, and the safety rules run again on them.

#include <string>

#include "disk/disk_info.h"
#include "disk/disk_queries.h"

namespace tvde {

struct DiskIdentityCheck {
  bool same = false;
  // Japanese, for the log: every fact that differs or could not be read, joined by "、".
  std::wstring difference;
};

// The classification inputs the list used for a record it found writable: WinPE for a record
// with the WinPE reason, unlocked internal disks for ErasableSecondary, normal Windows otherwise.
int32_t ListEnvironmentMode(const DiskInfo& saved);
int32_t ListUnlockInternal(const DiskInfo& saved);

// Asks `opened` for its device number, descriptor (model, serial, bus), geometry (sector size
// and size) and attributes, all questions a query-only handle may ask, gives it the letters of
// its volumes and classifies it with the running system's facts. Same only when number, model,
// serial, bus, media kind, sector size and size equal the saved record's, the status is the saved
// one and allows writes, and the disk is neither offline nor read-only. A fact the disk does not
// answer counts as a difference (attributes excepted: older drivers lack them).
DiskIdentityCheck ReidentifyOpenedDisk(DiskSystemQueries& system, DiskQueryHandle& opened,
                                       const DiskInfo& saved);

}  // namespace tvde
