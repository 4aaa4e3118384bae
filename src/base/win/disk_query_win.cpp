// Device control requests behind DiskQuery.
#include "base/win/disk_query_win.h"

#include <winioctl.h>

namespace tvde {
namespace {

// Not in every SDK's winioctl.h (Windows 7 and later).
constexpr DWORD kIoctlDiskGetDiskAttributes =
    CTL_CODE(IOCTL_DISK_BASE, 0x003c, METHOD_BUFFERED, FILE_ANY_ACCESS);

std::optional<size_t> Control(const AccessHandle& disk, DWORD code, std::span<const uint8_t> in,
                              std::span<uint8_t> out) {
  DWORD returned = 0;
  if (!ControlDevice(disk, code, in, out, returned)) return std::nullopt;
  return returned;
}

std::optional<size_t> QueryProperty(const AccessHandle& disk, STORAGE_PROPERTY_ID property,
                                    std::span<uint8_t> out) {
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = property;
  query.QueryType = PropertyStandardQuery;
  return Control(disk, IOCTL_STORAGE_QUERY_PROPERTY,
                 std::span(reinterpret_cast<const uint8_t*>(&query), sizeof query), out);
}

}  // namespace

DWORD DiskQueryControlCode(DiskQuery query) {
  switch (query) {
    case DiskQuery::DeviceNumber:
      return IOCTL_STORAGE_GET_DEVICE_NUMBER;
    case DiskQuery::DeviceDescriptor:
    case DiskQuery::SeekPenalty:
      return IOCTL_STORAGE_QUERY_PROPERTY;
    case DiskQuery::DriveGeometryEx:
      return IOCTL_DISK_GET_DRIVE_GEOMETRY_EX;
    case DiskQuery::DiskAttributes:
      return kIoctlDiskGetDiskAttributes;
  }
  return 0;
}

std::optional<size_t> QueryWin32Disk(const AccessHandle& disk, DiskQuery query,
                                     std::span<uint8_t> out) {
  switch (query) {
    case DiskQuery::DeviceDescriptor:
      return QueryProperty(disk, StorageDeviceProperty, out);
    case DiskQuery::SeekPenalty:
      return QueryProperty(disk, StorageDeviceSeekPenaltyProperty, out);
    case DiskQuery::DeviceNumber:
    case DiskQuery::DriveGeometryEx:
    case DiskQuery::DiskAttributes:
      return Control(disk, DiskQueryControlCode(query), {}, out);
  }
  return std::nullopt;
}

}  // namespace tvde
