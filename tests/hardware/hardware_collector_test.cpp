// The real collector on the machine running the tests (natively, or under Wine).
#include <gtest/gtest.h>

#include <iostream>
#include <regex>

#include "hardware/hardware_profile.h"
#include "hardware/network_adapters.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(HardwareCollector, FillsAllSixteenFieldsOnThisMachine) {
  DiskInfo disk;
  disk.model = L"Test Disk";
  disk.serialNumber = L"SN-1";
  disk.sizeBytes = 1073741824ULL;
  disk.bytesPerSector = 4096;
  disk.mediaType = MediaKind::NvmeSsd;
  disk.busType = BusKind::Nvme;
  const HardwareProfile p = CollectHardwareProfile(disk);
  const std::pair<const char*, const std::wstring*> fields[] = {
      {"manufacturer", &p.manufacturer},
      {"chassisType", &p.chassisType},
      {"model", &p.model},
      {"serial", &p.serial},
      {"uuid", &p.uuid},
      {"assetTag", &p.assetTag},
      {"processor", &p.processor},
      {"totalMemory", &p.totalMemory},
      {"disk", &p.disk},
      {"diskGeometry", &p.diskGeometry},
      {"graphicsCard", &p.graphicsCard},
      {"soundCards", &p.soundCards},
      {"networkAdapters", &p.networkAdapters},
      {"motherboard", &p.motherboard},
      {"biosInformation", &p.biosInformation},
      {"storageController", &p.storageController},
  };
  for (const auto& [name, value] : fields) {
    EXPECT_FALSE(value->empty()) << name;
    std::cout << "  " << name << ": " << U8(*value) << "\n";
  }
  EXPECT_TRUE(std::regex_match(U8(p.uuid), std::regex("[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}")))
      << U8(p.uuid);
  EXPECT_TRUE(std::regex_match(
      U8(p.processor),
      std::regex(".+, Current speed: [0-9]+ MHz, Cores: [1-9][0-9]* \\([1-9][0-9]* "
                 "Threads\\)")))
      << U8(p.processor);
  // Any machine that runs these tests has memory.
  EXPECT_TRUE(std::regex_match(
      U8(p.totalMemory),
      std::regex("[1-9][0-9]* MB, Populated banks: [1-9][0-9]*, Free memory banks: [0-9]+")))
      << U8(p.totalMemory);
  EXPECT_EQ(U8(p.disk), "1.00 GB NVMe SSD, Model: Test Disk, Serial: SN-1");
  EXPECT_EQ(U8(p.diskGeometry), "NVMe 1.00 GB / 262144 Sector(s), Sector size: 4096 B");
  EXPECT_EQ(p.networkAdapters, CollectNetworkAdapters());
}

}  // namespace
}  // namespace tvde
