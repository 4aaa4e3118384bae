#pragma once
// Names of installed devices as the reports print them: the device's own name, prefixed with
// its manufacturer when that adds something, without duplicates.

#include <cstddef>
#include <string>
#include <vector>

namespace tvde {

// The three texts the device installer keeps for one device.
struct DeviceNameFacts {
  std::wstring friendlyName;
  std::wstring description;
  std::wstring manufacturer;
};

// Friendly name, else description, trimmed; "Manufacturer, " in front unless the
// manufacturer is empty, generic ("Standard", "標準") or already part of the name. Empty when
// the device has no name (the device is then skipped).
std::wstring ComposeDeviceName(const DeviceNameFacts& device);

// Adds a non-empty name that is not yet listed; true once the list holds maxCount names.
bool AppendDeviceName(std::vector<std::wstring>& names, const std::wstring& name, size_t maxCount);

// At most maxCount distinct names, in the order of the devices.
std::vector<std::wstring> SelectDeviceNames(const std::vector<DeviceNameFacts>& devices,
                                            size_t maxCount);

}  // namespace tvde
