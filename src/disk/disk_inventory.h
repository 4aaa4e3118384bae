#pragma once
// Builds the classified disk list from the system queries.

#include <cstdint>
#include <optional>
#include <vector>

#include "disk/disk_classification.h"
#include "disk/disk_info.h"
#include "disk/disk_queries.h"
#include "disk/storage_descriptors.h"

namespace tvde {

// PhysicalDrive0 .. PhysicalDrive31 are tried one by one only when the disks' device
// interfaces cannot be listed; the interface list names disks of every number.
inline constexpr int32_t kMaxPhysicalDisks = 32;

// The disk holding the Windows system directory's volume, or 0 when that cannot be told.
int32_t FindSystemDiskNumberWith(DiskSystemQueries& system);

// The first disk of the WinPE boot medium (FindBootMediaDisksWith), or -1.
int32_t FindBootMediaDiskNumberWith(DiskSystemQueries& system);

// Appends "X:" for every volume extent to each disk it lies on (", " between letters); a volume
// spread over several disks is asked again with room for all its extents.
void AssignDriveLettersWith(DiskSystemQueries& system, std::vector<DiskInfo>& disks);

// The storage device descriptor `handle` answers; nothing when it does not.
std::optional<StorageDeviceFacts> ReadDeviceDescriptor(DiskQueryHandle& handle);

// The device number the disk answers (IOCTL_STORAGE_GET_DEVICE_NUMBER); nothing when it does not.
std::optional<int32_t> QueryDeviceNumber(DiskQueryHandle& handle);

// One disk's identity, size and media kind as `handle` answers them, unclassified; size 0 when
// the geometry cannot be read.
DiskInfo ReadDiskFacts(DiskSystemQueries& system, DiskQueryHandle& handle, int32_t diskNumber);

// One disk's identity, size and media kind; nothing when it cannot be opened or its size is 0.
std::optional<DiskInfo> ReadPhysicalDisk(DiskSystemQueries& system, int32_t diskNumber);

// Every disk of the interface list that answers its number and a size, with its interface path,
// in increasing number (each number once); empty when the list cannot be read.
std::vector<DiskInfo> ReadDisksByInterface(DiskSystemQueries& system);

// The running system's disks and the caller's two choices, as the classification takes them.
ClassificationContext ReadClassificationContext(DiskSystemQueries& system, int32_t environmentMode,
                                                int32_t unlockInternal);

// Every readable disk in increasing number (ReadDisksByInterface, or the numbers 0..31 when
// that finds none), with letters and safety classification (the disks
// the running system needs, FindProtectedDisksWith, included).
std::vector<DiskInfo> EnumeratePhysicalDisksWith(DiskSystemQueries& system, int32_t environmentMode,
                                                 int32_t unlockInternal);

}  // namespace tvde
