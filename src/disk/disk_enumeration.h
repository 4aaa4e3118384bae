#pragma once
// The machine's physical disks with their safety classification (Windows build).
//
// Under Wine "\\.\PhysicalDriveN" and "\\.\X:" lead to the host's real block devices and the
// answers about them are made up, so there these functions open no disk or volume at all:
// the disk list is empty, no boot medium is found and no letters are assigned.

#include <cstdint>
#include <memory>
#include <vector>

#include "disk/disk_info.h"
#include "disk/disk_queries.h"
#include "disk/storage_descriptors.h"

namespace tvde {

#ifdef _WIN32
// environmentMode 1 means WinPE, 0 normal Windows; unlockInternal 1 unlocks internal disks.
std::vector<DiskInfo> EnumeratePhysicalDisks(int32_t environmentMode, int32_t unlockInternal);

// Disk number of the volume carrying "sources\boot.wim", or -1.
int32_t FindBootMediaDiskNumber();

void AssignDriveLetters(std::vector<DiskInfo>& disks);

// A disk, or any device or file, opened with access 0 for the inventory's questions, as the
// list and the listed-disk check open disks; null when it cannot be opened. Opens whatever it
// is given, also under Wine: callers keep host devices away from it.
std::unique_ptr<DiskQueryHandle> OpenQueryHandle(const std::wstring& path);

// The Win32 answers to the inventory's queries (CreateFileW with access 0, DeviceIoControl,
// GetLogicalDriveStringsW, GetFileAttributesW, MultiByteToWideChar). Under Wine it refuses to
// open any disk or volume device.
std::unique_ptr<DiskSystemQueries> MakeWin32DiskQueries();
#endif

}  // namespace tvde
