// DeviceIoControl requests behind DiskQuery.
#include "base/win/disk_query_win.h"

#include <winioctl.h>

namespace tvde {
namespace {

// Not in every SDK's winioctl.h (Windows 7 and later).
constexpr DWORD kIoctlDiskGetDiskAttributes =
    CTL_CODE(IOCTL_DISK_BASE, 0x003c, METHOD_BUFFERED, FILE_ANY_ACCESS);

std::optional<size_t> Control(HANDLE handle, DWORD code, const void* input, DWORD inputBytes,
                              std::span<uint8_t> out) {
  DWORD returned = 0;
  if (!DeviceIoControl(handle, code, const_cast<void*>(input), inputBytes, out.data(),
                       static_cast<DWORD>(out.size()), &returned, nullptr)) {
    return std::nullopt;
  }
  return returned;
}

std::optional<size_t> QueryProperty(HANDLE handle, STORAGE_PROPERTY_ID property,
                                    std::span<uint8_t> out) {
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = property;
  query.QueryType = PropertyStandardQuery;
  return Control(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, out);
}

}  // namespace

std::optional<size_t> QueryWin32Disk(HANDLE disk, DiskQuery query, std::span<uint8_t> out) {
  switch (query) {
    case DiskQuery::DeviceNumber:
      return Control(disk, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, out);
    case DiskQuery::DeviceDescriptor:
      return QueryProperty(disk, StorageDeviceProperty, out);
    case DiskQuery::SeekPenalty:
      return QueryProperty(disk, StorageDeviceSeekPenaltyProperty, out);
    case DiskQuery::DriveGeometryEx:
      return Control(disk, IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, out);
    case DiskQuery::LengthInfo:
      return Control(disk, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, out);
    case DiskQuery::DiskAttributes:
      return Control(disk, kIoctlDiskGetDiskAttributes, nullptr, 0, out);
  }
  return std::nullopt;
}

}  // namespace tvde
