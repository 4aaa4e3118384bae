#pragma once
// The disk questions of DiskQuery asked with device control codes (Windows build only); shared
// by the device layer's open disks and the inventory's query-only handles.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <span>

#include "base/device.h"
#include "base/win/device_control_win.h"

namespace tvde {

// The control code that asks `query`. Every one of them is admitted on a handle opened with
// access 0, which is how the inventory opens disks.
DWORD DiskQueryControlCode(DiskQuery query);

// The bytes returned, or nothing when the request failed.
std::optional<size_t> QueryWin32Disk(const AccessHandle& disk, DiskQuery query,
                                     std::span<uint8_t> out);

}  // namespace tvde
