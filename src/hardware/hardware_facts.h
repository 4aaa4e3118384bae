#pragma once
// The raw facts the hardware profile is composed from, gathered from the running machine by
// the platform's source (firmware table, registry or sysfs, system queries, device lists).

#include <cstdint>
#include <string>
#include <vector>

#include "hardware/network_adapters.h"

namespace tvde {

struct HardwareFacts {
  // Raw SMBIOS data: 8-byte header (LE32 structure length at byte 4) + structures; empty
  // when the firmware table is unavailable.
  std::vector<uint8_t> smbiosTable;

  // Firmware values the system keeps outside SMBIOS, used as stored; empty when missing.
  std::wstring systemManufacturer;
  std::wstring systemProductName;
  std::wstring baseBoardManufacturer;
  std::wstring baseBoardProduct;
  std::wstring biosVendor;
  std::wstring biosVersion;
  std::wstring biosReleaseDate;

  std::wstring processorName;  // untrimmed
  uint32_t processorMhz = 0;   // 0 when unknown
  uint32_t logicalProcessors = 0;
  uint64_t totalPhysicalBytes = 0;

  std::vector<std::wstring> displayNames;   // at most 2, already composed
  std::wstring primaryDisplayName;          // the first display device's own text
  std::vector<std::wstring> soundNames;     // at most 2
  std::vector<std::wstring> storageNamesA;  // SCSI and RAID controllers, at most 2
  std::vector<std::wstring> storageNamesB;  // IDE / ATA / AHCI / NVMe controllers, at most 2
  std::vector<NetworkAdapterFacts> networkAdapters;
  std::vector<std::wstring> networkDeviceNames;  // asked only when no Ethernet adapter counted
};

// Platform source: queries everything again on each call; never fails.
HardwareFacts GatherHardwareFacts();

}  // namespace tvde
