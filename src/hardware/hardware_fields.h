#pragma once
// The sixteen hardware texts of a profile in their declared order, with the key names the
// record, the boot screens and the console tool use for them.

#include <array>
#include <cstddef>
#include <string>

#include "hardware/hardware_profile.h"

namespace tvde {

struct HardwareFieldRef {
  const char* name;  // member name, also the payload file key suffix
  std::wstring HardwareProfile::*member;
};

inline constexpr size_t kHardwareFieldCount = 16;

// Declared order of HardwareProfile: the StampRecord stores its fields 12..27 in this order.
inline constexpr std::array<HardwareFieldRef, kHardwareFieldCount> kHardwareFields = {{
    {"manufacturer", &HardwareProfile::manufacturer},
    {"chassisType", &HardwareProfile::chassisType},
    {"model", &HardwareProfile::model},
    {"serial", &HardwareProfile::serial},
    {"uuid", &HardwareProfile::uuid},
    {"assetTag", &HardwareProfile::assetTag},
    {"processor", &HardwareProfile::processor},
    {"totalMemory", &HardwareProfile::totalMemory},
    {"disk", &HardwareProfile::disk},
    {"diskGeometry", &HardwareProfile::diskGeometry},
    {"graphicsCard", &HardwareProfile::graphicsCard},
    {"soundCards", &HardwareProfile::soundCards},
    {"networkAdapters", &HardwareProfile::networkAdapters},
    {"motherboard", &HardwareProfile::motherboard},
    {"biosInformation", &HardwareProfile::biosInformation},
    {"storageController", &HardwareProfile::storageController},
}};

}  // namespace tvde
