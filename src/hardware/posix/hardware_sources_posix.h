#pragma once
// Linux sources of the hardware profile: the kernel's SMBIOS copy, /proc and sysfs.
// Readers take their root folder so that they can be pointed at a prepared tree.

#include <cstdint>
#include <filesystem>
#include <istream>
#include <span>
#include <string>
#include <vector>

#include "hardware/network_adapters.h"

namespace tvde {

// The kernel exports the structures without the 8-byte header the parser expects; the
// SMBIOS version comes from the entry point ("_SM_" or "_SM3_") when it is readable.
std::vector<uint8_t> WrapSmbiosTable(std::span<const uint8_t> entryPoint,
                                     std::span<const uint8_t> structures);

// First value of a "key : value" line of /proc/cpuinfo, as wide text; empty when absent.
std::wstring CpuInfoValue(const std::string& cpuinfo, const std::string& key);
// Whole MHz of the first "cpu MHz" line (fraction dropped); 0 when absent.
uint32_t CpuInfoMhz(const std::string& cpuinfo);
// MemTotal of /proc/meminfo in bytes; 0 when absent.
uint64_t MemInfoTotalBytes(const std::string& meminfo);

// Interfaces backed by a device, in interface index order: wired ones as Ethernet,
// wireless ones as Wi-Fi. Virtual interfaces (loopback, bridges, tunnels) are left out.
std::vector<NetworkAdapterFacts> ReadSysfsNetworkAdapters(const std::filesystem::path& classNet);

// One PCI function as sysfs describes it.
struct PciFunction {
  uint32_t classCode = 0;  // class << 16 | subclass << 8 | programming interface
  uint16_t vendor = 0;
  uint16_t device = 0;
  std::string driver;  // bound driver, empty when none
};

std::vector<PciFunction> ReadSysfsPciFunctions(const std::filesystem::path& pciDevices);

// Vendor and device names from a pci.ids database; empty texts when not listed.
struct PciNames {
  std::string vendor;
  std::string device;
};
PciNames LookupPciNames(std::istream& pciIds, uint16_t vendor, uint16_t device);

// Text from sysfs or /proc: UTF-8 when it is, otherwise byte by byte.
std::wstring SysfsText(const std::string& bytes);

// Small text file (sysfs attribute, /proc file) as read; empty when unreadable.
std::string ReadSmallFile(const std::filesystem::path& path, size_t maxBytes = 1 << 20);

}  // namespace tvde
