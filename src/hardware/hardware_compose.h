#pragma once
// Composition of the sixteen profile texts from gathered facts, with every fallback.

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_info.h"
#include "hardware/hardware_facts.h"
#include "hardware/hardware_profile.h"

namespace tvde {

HardwareProfile ComposeHardwareProfile(const HardwareFacts& facts, const DiskInfo& disk);

// "None" for an empty tag and for the two placeholder texts boards ship with (exact case).
std::wstring NormalizeAssetTag(const std::wstring& tag);

std::wstring ComposeProcessorText(const std::wstring& name, uint32_t mhz, uint32_t cores,
                                  uint32_t threads);
std::wstring ComposeMemoryText(uint64_t totalBytes, uint32_t populatedBanks, uint32_t freeBanks);
std::wstring ComposeDiskText(const DiskInfo& disk);
std::wstring ComposeDiskGeometryText(const DiskInfo& disk);
std::wstring ComposeGraphicsText(const std::vector<std::wstring>& names,
                                 const std::wstring& primaryDisplayName);
std::wstring ComposeSoundText(const std::vector<std::wstring>& names);
std::wstring ComposeStorageText(const std::vector<std::wstring>& first,
                                const std::vector<std::wstring>& second);

}  // namespace tvde
