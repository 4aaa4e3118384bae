#pragma once
// Developer-facing description of an OS error code (GetLastError / errno).

#include <cstdint>
#include <string>

namespace tvde {

uint32_t LastSystemError();
std::wstring DescribeSystemError(uint32_t code);

// True for the codes that say the path names nothing (ENOENT; ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND).
bool IsNotFoundError(uint32_t code);

// What an error of a disk open, read, write or flush says about the disk, where the code tells.
enum class DiskErrorCause : int32_t {
  Other,
  AccessBlocked,      // ERROR_ACCESS_DENIED (5) / EACCES, EPERM, EBUSY: a mounted volume or
                      // the system blocks raw writes to the sectors
  ReadOnlyOrOffline,  // ERROR_WRITE_PROTECT (19) / EROFS: read-only or offline disk
  DeviceGone,         // ERROR_NOT_READY (21), ERROR_DEVICE_NOT_CONNECTED (1167) / ENODEV,
                      // ENXIO, ENOMEDIUM: unplugged or not answering
};

DiskErrorCause ClassifyDiskError(uint32_t code);

}  // namespace tvde
