// Windows source of the hardware facts: firmware table, registry, system queries, devices.
#include <windows.h>

#include <cwchar>
#include <iterator>

#include "hardware/hardware_facts.h"
#include "hardware/win/hardware_sources_win.h"

namespace tvde {
namespace {

// Firmware table provider signature 'RSMB' (raw SMBIOS).
constexpr DWORD kRawSmbiosProvider =
    (DWORD{'R'} << 24) | (DWORD{'S'} << 16) | (DWORD{'M'} << 8) | 'B';
constexpr const wchar_t* kBiosKey = L"HARDWARE\\DESCRIPTION\\System\\BIOS";
constexpr const wchar_t* kProcessorKey = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
constexpr size_t kMaxClassNames = 2;

std::vector<uint8_t> ReadRawSmbiosTable() {
  const UINT size = GetSystemFirmwareTable(kRawSmbiosProvider, 0, nullptr, 0);
  if (size <= 8) return {};
  std::vector<uint8_t> table(size, 0);
  // The table could change between the two calls; only an exact second read is used.
  if (GetSystemFirmwareTable(kRawSmbiosProvider, 0, table.data(), size) != size) return {};
  return table;
}

std::wstring PrimaryDisplayDeviceString() {
  DISPLAY_DEVICEW device{};
  device.cb = sizeof(device);
  if (!EnumDisplayDevicesW(nullptr, 0, &device, 0)) return {};
  return std::wstring(device.DeviceString,
                      wcsnlen(device.DeviceString, std::size(device.DeviceString)));
}

}  // namespace

HardwareFacts GatherHardwareFacts() {
  HardwareFacts f;
  f.smbiosTable = ReadRawSmbiosTable();

  f.systemManufacturer = ReadRegistryString(HKEY_LOCAL_MACHINE, kBiosKey, L"SystemManufacturer");
  f.systemProductName = ReadRegistryString(HKEY_LOCAL_MACHINE, kBiosKey, L"SystemProductName");
  f.baseBoardManufacturer =
      ReadRegistryString(HKEY_LOCAL_MACHINE, kBiosKey, L"BaseBoardManufacturer");
  f.baseBoardProduct = ReadRegistryString(HKEY_LOCAL_MACHINE, kBiosKey, L"BaseBoardProduct");
  f.biosVendor = ReadRegistryString(HKEY_LOCAL_MACHINE, kBiosKey, L"BIOSVendor");
  f.biosVersion = ReadRegistryString(HKEY_LOCAL_MACHINE, kBiosKey, L"BIOSVersion");
  f.biosReleaseDate = ReadRegistryString(HKEY_LOCAL_MACHINE, kBiosKey, L"BIOSReleaseDate");

  f.processorName = ReadRegistryString(HKEY_LOCAL_MACHINE, kProcessorKey, L"ProcessorNameString");
  f.processorMhz = ReadRegistryDword(HKEY_LOCAL_MACHINE, kProcessorKey, L"~MHz").value_or(0);
  // Every processor group: the native system information counts the calling group only (at
  // most 64 logical processors).
  f.logicalProcessors = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
  if (f.logicalProcessors == 0) {
    SYSTEM_INFO system{};
    GetNativeSystemInfo(&system);
    f.logicalProcessors = system.dwNumberOfProcessors;
  }
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof(memory);
  if (GlobalMemoryStatusEx(&memory)) f.totalPhysicalBytes = memory.ullTotalPhys;

  f.displayNames = EnumerateClassDeviceNames(kDisplayClassGuid, kMaxClassNames);
  if (f.displayNames.empty()) f.primaryDisplayName = PrimaryDisplayDeviceString();
  f.soundNames = EnumerateClassDeviceNames(kMediaClassGuid, kMaxClassNames);
  f.storageNamesA = EnumerateClassDeviceNames(kScsiAdapterClassGuid, kMaxClassNames);
  f.storageNamesB = EnumerateClassDeviceNames(kHdcClassGuid, kMaxClassNames);
  ReadNetworkFacts(f.networkAdapters, f.networkDeviceNames);
  return f;
}

}  // namespace tvde
