#pragma once
// The disk questions of DiskQuery asked with DeviceIoControl (Windows build only); shared by
// the device layer's open disks and the inventory's query-only handles.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>

#include "base/device.h"

namespace tvde {

// The bytes returned, or nothing when the request failed.
std::optional<size_t> QueryWin32Disk(HANDLE disk, DiskQuery query, std::span<uint8_t> out);

}  // namespace tvde
