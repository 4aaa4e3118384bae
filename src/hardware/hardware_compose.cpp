// The profile's composition rules and fallbacks, over facts gathered elsewhere.
#include "hardware/hardware_compose.h"

#include <algorithm>

#include "hardware/hardware_text.h"
#include "hardware/smbios_table.h"

namespace tvde {
namespace {

constexpr size_t kMaxStorageEntries = 3;

void SetIfEmpty(std::wstring& field, const std::wstring& value) {
  if (field.empty()) field = value;
}

}  // namespace

std::wstring NormalizeAssetTag(const std::wstring& tag) {
  if (tag.empty() || tag == L"Default string" || tag == L"To Be Filled By O.E.M.") return L"None";
  return tag;
}

std::wstring ComposeProcessorText(const std::wstring& name, uint32_t mhz, uint32_t cores,
                                  uint32_t threads) {
  std::wstring text = TrimWhitespace(name);
  if (text.empty()) text = L"x86/x64 Compatible Processor";
  const uint32_t shownCores = cores != 0 ? cores : threads;
  return text + L", Current speed: " + std::to_wstring(mhz) + L" MHz, Cores: " +
         std::to_wstring(shownCores) + L" (" + std::to_wstring(threads) + L" Threads)";
}

std::wstring ComposeMemoryText(uint64_t totalBytes, uint32_t populatedBanks, uint32_t freeBanks) {
  return std::to_wstring(totalBytes >> 20) + L" MB, Populated banks: " +
         std::to_wstring(std::max<uint32_t>(populatedBanks, 1)) + L", Free memory banks: " +
         std::to_wstring(freeBanks);
}

std::wstring ComposeDiskText(const DiskInfo& disk) {
  return FormatSize(disk.sizeBytes) + L" " + MediaTypeLabel(disk.mediaType) + L", Model: " +
         disk.model + L", Serial: " + disk.serialNumber;
}

std::wstring ComposeDiskGeometryText(const DiskInfo& disk) {
  const uint64_t sectorSize = disk.bytesPerSector >= 512 ? disk.bytesPerSector : 512;
  return BusTypeLabel(disk.busType) + L" " + FormatSize(disk.sizeBytes) + L" / " +
         std::to_wstring(disk.sizeBytes / sectorSize) + L" Sector(s), Sector size: " +
         std::to_wstring(sectorSize) + L" B";
}

std::wstring ComposeGraphicsText(const std::vector<std::wstring>& names,
                                 const std::wstring& primaryDisplayName) {
  if (!names.empty()) return JoinStrings(names, L" / ");
  std::wstring primary = TrimWhitespace(primaryDisplayName);
  if (!primary.empty()) return primary;
  return L"Standard VGA / GOP Graphics Adapter";
}

std::wstring ComposeSoundText(const std::vector<std::wstring>& names) {
  if (names.empty()) return L"None / Standard High Definition Audio";
  std::vector<std::wstring> cards;
  for (size_t i = 0; i < names.size(); ++i)
    cards.push_back(L"Card " + std::to_wstring(i + 1) + L": " + names[i]);
  return JoinStrings(cards, L" | ");
}

std::wstring ComposeStorageText(const std::vector<std::wstring>& first,
                                const std::vector<std::wstring>& second) {
  std::vector<std::wstring> all = first;
  for (const std::wstring& name : second) {
    if (all.size() < kMaxStorageEntries) all.push_back(name);
  }
  if (all.empty()) return L"Standard Storage / NVMe / AHCI Controller";
  return JoinStrings(all, L" / ");
}

HardwareProfile ComposeHardwareProfile(const HardwareFacts& facts, const DiskInfo& disk) {
  const SmbiosFacts smbios = ParseSmbiosTable(facts.smbiosTable);
  HardwareProfile p;
  p.manufacturer = smbios.manufacturer;
  p.chassisType = smbios.chassisType;
  p.model = smbios.model;
  p.serial = smbios.serial;
  p.uuid = smbios.uuid;
  p.assetTag = smbios.assetTag;
  p.motherboard = smbios.motherboard;
  p.biosInformation = smbios.biosInformation;

  // Values the system keeps besides the firmware table.
  SetIfEmpty(p.manufacturer, facts.systemManufacturer);
  SetIfEmpty(p.model, facts.systemProductName);
  if (p.motherboard.empty() &&
      (!facts.baseBoardManufacturer.empty() || !facts.baseBoardProduct.empty())) {
    p.motherboard = facts.baseBoardManufacturer + L" / " + facts.baseBoardProduct;
  }
  if (p.biosInformation.empty()) {
    p.biosInformation =
        facts.biosVendor + L", Version: " + facts.biosVersion + L", Date: " + facts.biosReleaseDate;
  }

  SetIfEmpty(p.manufacturer, L"Standard System Vendor");
  SetIfEmpty(p.chassisType, L"Desktop / Space-saving");
  SetIfEmpty(p.model, L"Standard PC");
  SetIfEmpty(p.serial, L"None / System Default");
  SetIfEmpty(p.uuid, L"00000000-0000-0000-0000-000000000000");
  p.assetTag = NormalizeAssetTag(p.assetTag);
  SetIfEmpty(p.motherboard, p.manufacturer + L" / " + p.model);

  const uint32_t mhz = facts.processorMhz != 0 ? facts.processorMhz : smbios.processorMhz;
  p.processor =
      ComposeProcessorText(facts.processorName, mhz, smbios.coreCount, facts.logicalProcessors);
  p.totalMemory =
      ComposeMemoryText(facts.totalPhysicalBytes, smbios.populatedBanks, smbios.freeBanks);
  p.disk = ComposeDiskText(disk);
  p.diskGeometry = ComposeDiskGeometryText(disk);
  p.graphicsCard = ComposeGraphicsText(facts.displayNames, facts.primaryDisplayName);
  p.soundCards = ComposeSoundText(facts.soundNames);
  p.networkAdapters = ComposeNetworkAdapters(facts.networkAdapters, facts.networkDeviceNames);
  p.storageController = ComposeStorageText(facts.storageNamesA, facts.storageNamesB);
  return p;
}

}  // namespace tvde
