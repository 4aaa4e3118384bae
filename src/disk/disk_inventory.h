#pragma once
// Builds the classified disk list from the system queries.

#include <cstdint>
#include <optional>
#include <vector>

#include "disk/disk_info.h"
#include "disk/disk_queries.h"

namespace tvde {

inline constexpr int32_t kMaxPhysicalDisks = 32;  // PhysicalDrive0 .. PhysicalDrive31

// The disk holding the Windows system directory's volume, or 0 when that cannot be told.
int32_t FindSystemDiskNumberWith(DiskSystemQueries& system);

// The first disk of the WinPE boot medium (FindBootMediaDisksWith), or -1.
int32_t FindBootMediaDiskNumberWith(DiskSystemQueries& system);

// Appends "X:" for every volume extent to each disk it lies on (", " between letters); a volume
// spread over several disks is asked again with room for all its extents.
void AssignDriveLettersWith(DiskSystemQueries& system, std::vector<DiskInfo>& disks);

// One disk's identity, size and media kind; nothing when it cannot be opened or its size is 0.
std::optional<DiskInfo> ReadPhysicalDisk(DiskSystemQueries& system, int32_t diskNumber);

// Every readable disk in increasing number, with letters and safety classification (the disks
// the running system needs, FindProtectedDisksWith, included).
std::vector<DiskInfo> EnumeratePhysicalDisksWith(DiskSystemQueries& system, int32_t environmentMode,
                                                 int32_t unlockInternal);

}  // namespace tvde
