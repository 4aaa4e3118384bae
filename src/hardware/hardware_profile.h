#pragma once
// Sixteen human-readable texts about the machine and the erased disk; always filled.
// The field names are also the JSON keys of the report.

#include <string>

#include "disk/disk_info.h"

namespace tvde {

struct HardwareProfile {
  std::wstring manufacturer;
  std::wstring chassisType;
  std::wstring model;
  std::wstring serial;
  std::wstring uuid;
  std::wstring assetTag;
  std::wstring processor;
  std::wstring totalMemory;
  std::wstring disk;
  std::wstring diskGeometry;
  std::wstring graphicsCard;
  std::wstring soundCards;
  std::wstring networkAdapters;
  std::wstring motherboard;
  std::wstring biosInformation;
  std::wstring storageController;
};

// Collects every field from the running machine, falling back field by field; never fails.
HardwareProfile CollectHardwareProfile(const DiskInfo& disk);

}  // namespace tvde
