// Composition and de-duplication of device names.
#include "hardware/device_names.h"

#include <algorithm>

#include "hardware/hardware_text.h"

namespace tvde {

std::wstring ComposeDeviceName(const DeviceNameFacts& device) {
  std::wstring name =
      TrimWhitespace(device.friendlyName.empty() ? device.description : device.friendlyName);
  if (name.empty()) return {};
  const std::wstring maker = TrimWhitespace(device.manufacturer);
  // Generic class drivers name themselves "(Standard ...)" or "(標準 ...)": no help to anyone.
  const bool generic =
      maker.find(L"標準") != std::wstring::npos || maker.find(L"Standard") != std::wstring::npos;
  const bool alreadyNamed = maker.size() <= name.size() && name.find(maker) != std::wstring::npos;
  if (!maker.empty() && !generic && !alreadyNamed) name = maker + L", " + name;
  return name;
}

bool AppendDeviceName(std::vector<std::wstring>& names, const std::wstring& name, size_t maxCount) {
  if (names.size() >= maxCount) return true;
  if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
    names.push_back(name);
  return names.size() >= maxCount;
}

std::vector<std::wstring> SelectDeviceNames(const std::vector<DeviceNameFacts>& devices,
                                            size_t maxCount) {
  std::vector<std::wstring> names;
  for (const DeviceNameFacts& device : devices) {
    if (AppendDeviceName(names, ComposeDeviceName(device), maxCount)) break;
  }
  return names;
}

}  // namespace tvde
