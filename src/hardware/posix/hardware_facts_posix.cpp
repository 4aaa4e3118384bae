// Linux source of the hardware facts: the kernel's SMBIOS copy, DMI attributes, /proc and
// the PCI functions in sysfs.
#include <unistd.h>

#include <fstream>

#include "base/text.h"
#include "hardware/device_names.h"
#include "hardware/hardware_facts.h"
#include "hardware/posix/hardware_sources_posix.h"

namespace tvde {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxClassNames = 2;

std::vector<uint8_t> ReadKernelSmbios() {
  const std::string structures = ReadSmallFile("/sys/firmware/dmi/tables/DMI", 1 << 22);
  if (structures.empty()) return {};
  const std::string entry = ReadSmallFile("/sys/firmware/dmi/tables/smbios_entry_point", 64);
  return WrapSmbiosTable(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(entry.data()), entry.size()),
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(structures.data()),
                               structures.size()));
}

// A DMI attribute as the kernel keeps it, without the line end sysfs adds.
std::wstring DmiAttribute(const char* name) {
  std::string text = ReadSmallFile(fs::path("/sys/class/dmi/id") / name, 4096);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0'))
    text.pop_back();
  return SysfsText(text);
}

DeviceNameFacts PciDeviceFacts(const PciFunction& f) {
  DeviceNameFacts facts;
  for (const char* path : {"/usr/share/misc/pci.ids", "/usr/share/hwdata/pci.ids"}) {
    std::ifstream ids(path);
    if (!ids) continue;
    const PciNames names = LookupPciNames(ids, f.vendor, f.device);
    facts.manufacturer = SysfsText(names.vendor);
    facts.friendlyName = SysfsText(names.device);
    break;
  }
  if (facts.friendlyName.empty()) {
    std::string text = FormatPrintf("PCI device %04x:%04x", f.vendor, f.device);
    if (!f.driver.empty()) text += " (" + f.driver + ")";
    facts.description = SysfsText(text);
  }
  return facts;
}

void CollectPciNames(HardwareFacts& facts) {
  for (const PciFunction& f : ReadSysfsPciFunctions("/sys/bus/pci/devices")) {
    const uint32_t baseClass = f.classCode >> 16;
    const uint32_t subClass = (f.classCode >> 8) & 0xFF;
    std::vector<std::wstring>* list = nullptr;
    if (baseClass == 0x03) {
      list = &facts.displayNames;
    } else if (baseClass == 0x04 && (subClass == 0x01 || subClass == 0x03)) {
      list = &facts.soundNames;  // audio and high definition audio
    } else if (baseClass == 0x01 &&
               (subClass == 0x00 || subClass == 0x04 || subClass == 0x07 || subClass == 0x80)) {
      list = &facts.storageNamesA;  // SCSI, RAID, SAS, other (paravirtual disks)
    } else if (baseClass == 0x01 &&
               (subClass == 0x01 || subClass == 0x05 || subClass == 0x06 || subClass == 0x08)) {
      list = &facts.storageNamesB;  // IDE, ATA, SATA, NVMe
    }
    if (list != nullptr)
      AppendDeviceName(*list, ComposeDeviceName(PciDeviceFacts(f)), kMaxClassNames);
  }
}

}  // namespace

HardwareFacts GatherHardwareFacts() {
  HardwareFacts f;
  f.smbiosTable = ReadKernelSmbios();
  f.systemManufacturer = DmiAttribute("sys_vendor");
  f.systemProductName = DmiAttribute("product_name");
  f.baseBoardManufacturer = DmiAttribute("board_vendor");
  f.baseBoardProduct = DmiAttribute("board_name");
  f.biosVendor = DmiAttribute("bios_vendor");
  f.biosVersion = DmiAttribute("bios_version");
  f.biosReleaseDate = DmiAttribute("bios_date");

  const std::string cpuinfo = ReadSmallFile("/proc/cpuinfo", 1 << 22);
  f.processorName = CpuInfoValue(cpuinfo, "model name");
  f.processorMhz = CpuInfoMhz(cpuinfo);
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  f.logicalProcessors = online > 0 ? static_cast<uint32_t>(online) : 1;
  f.totalPhysicalBytes = MemInfoTotalBytes(ReadSmallFile("/proc/meminfo", 1 << 16));

  CollectPciNames(f);
  f.networkAdapters = ReadSysfsNetworkAdapters("/sys/class/net");
  return f;
}

}  // namespace tvde
