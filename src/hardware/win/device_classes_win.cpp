// Names of present devices of a setup class through the device installer (SetupAPI).
#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "hardware/device_names.h"
#include "hardware/win/hardware_sources_win.h"

namespace tvde {
namespace {

// Frees a device information set when it goes out of scope.
class DeviceInfoSet {
 public:
  explicit DeviceInfoSet(const GUID& classGuid)
      : set_(SetupDiGetClassDevsW(&classGuid, nullptr, nullptr, DIGCF_PRESENT)) {}
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
  ~DeviceInfoSet() {
    if (valid()) SetupDiDestroyDeviceInfoList(set_);
  }
  bool valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
  HDEVINFO get() const { return set_; }

 private:
  HDEVINFO set_;
};

// One text property of at most maxBytes; empty when absent.
std::wstring ReadTextProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property,
                              DWORD maxBytes) {
  wchar_t buffer[512 / sizeof(wchar_t) + 1] = {};
  const DWORD bytes = std::min<DWORD>(maxBytes, 512);
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type,
                                         reinterpret_cast<BYTE*>(buffer), bytes, nullptr)) {
    return {};
  }
  return std::wstring(buffer, wcsnlen(buffer, bytes / sizeof(wchar_t)));
}

}  // namespace

std::vector<std::wstring> EnumerateClassDeviceNames(const GUID& classGuid, size_t maxCount) {
  std::vector<std::wstring> names;
  if (maxCount == 0) return names;
  DeviceInfoSet set(classGuid);
  if (!set.valid()) return names;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    DeviceNameFacts facts;
    facts.friendlyName = ReadTextProperty(set.get(), device, SPDRP_FRIENDLYNAME, 512);
    facts.description = ReadTextProperty(set.get(), device, SPDRP_DEVICEDESC, 512);
    facts.manufacturer = ReadTextProperty(set.get(), device, SPDRP_MFG, 256);
    if (AppendDeviceName(names, ComposeDeviceName(facts), maxCount)) break;
  }
  return names;
}

}  // namespace tvde
