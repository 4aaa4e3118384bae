// Composition of the sixteen profile texts from prepared facts, fallback by fallback.
#include "hardware/hardware_compose.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "hardware/hardware_text.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;
using Bytes = std::vector<uint8_t>;

// Header (LE32 length at byte 4) in front of the structures, as the firmware gives them.
Bytes WithHeader(const Bytes& structures) {
  Bytes table(8 + structures.size(), 0);
  table[4] = static_cast<uint8_t>(structures.size());
  std::copy(structures.begin(), structures.end(), table.begin() + 8);
  return table;
}

// A raw table with one chassis structure (type byte and asset tag) and nothing else.
Bytes ChassisTable(uint8_t type, const std::string& assetTag) {
  Bytes s{3, 9, 0, 0, 0, type, 0, 0, static_cast<uint8_t>(assetTag.empty() ? 0 : 1)};
  for (char c : assetTag)
    s.push_back(static_cast<uint8_t>(c));
  if (!assetTag.empty()) s.push_back(0);
  s.push_back(0);
  if (assetTag.empty()) s.push_back(0);
  return WithHeader(s);
}

std::vector<std::string> Fields(const HardwareProfile& p) {
  return {U8(p.manufacturer),     U8(p.chassisType),  U8(p.model),
          U8(p.serial),           U8(p.uuid),         U8(p.assetTag),
          U8(p.processor),        U8(p.totalMemory),  U8(p.disk),
          U8(p.diskGeometry),     U8(p.graphicsCard), U8(p.soundCards),
          U8(p.networkAdapters),  U8(p.motherboard),  U8(p.biosInformation),
          U8(p.storageController)};
}

TEST(HardwareCompose, NothingKnownGivesEveryFixedFallback) {
  DiskInfo disk;  // the record's defaults
  const std::vector<std::string> expected = {
      "Standard System Vendor",
      "Desktop / Space-saving",
      "Standard PC",
      "None / System Default",
      "00000000-0000-0000-0000-000000000000",
      "None",
      "x86/x64 Compatible Processor, Current speed: 0 MHz, Cores: 0 (0 Threads)",
      "0 MB, Populated banks: 1, Free memory banks: 0",
      "0 B 標準ストレージ, Model: Generic Physical Disk, Serial: N/A",
      "Unknown 0 B / 0 Sector(s), Sector size: 512 B",
      "Standard VGA / GOP Graphics Adapter",
      "None / Standard High Definition Audio",
      "None / Offline",
      "Standard System Vendor / Standard PC",
      ", Version: , Date: ",
      "Standard Storage / NVMe / AHCI Controller",
  };
  EXPECT_EQ(Fields(ComposeHardwareProfile(HardwareFacts{}, disk)), expected);
}

TEST(HardwareCompose, RegistryValuesFillWhatSmbiosLacks) {
  HardwareFacts facts;
  facts.systemManufacturer = L"Dell Inc. ";  // used as stored, not trimmed
  facts.systemProductName = L"OptiPlex 7090";
  facts.baseBoardManufacturer = L"Dell Inc.";
  facts.baseBoardProduct = L"0K0FGF";
  facts.biosVendor = L"Dell Inc.";
  facts.biosVersion = L"1.21.0";
  facts.biosReleaseDate = L"08/08/2023";
  HardwareProfile p = ComposeHardwareProfile(facts, DiskInfo{});
  EXPECT_EQ(U8(p.manufacturer), "Dell Inc. ");
  EXPECT_EQ(U8(p.model), "OptiPlex 7090");
  EXPECT_EQ(U8(p.motherboard), "Dell Inc. / 0K0FGF");
  EXPECT_EQ(U8(p.biosInformation), "Dell Inc., Version: 1.21.0, Date: 08/08/2023");

  // One board value is enough; the separator is written anyway.
  facts.baseBoardManufacturer.clear();
  EXPECT_EQ(U8(ComposeHardwareProfile(facts, DiskInfo{}).motherboard), " / 0K0FGF");
  facts.baseBoardProduct.clear();
  EXPECT_EQ(U8(ComposeHardwareProfile(facts, DiskInfo{}).motherboard),
            "Dell Inc.  / OptiPlex 7090");

  // SMBIOS wins over the registry when it has the text.
  facts.smbiosTable = ChassisTable(0x0A, "");
  p = ComposeHardwareProfile(facts, DiskInfo{});
  EXPECT_EQ(U8(p.chassisType), "Notebook");
  EXPECT_EQ(U8(p.assetTag), "None");
}

TEST(HardwareCompose, AssetTagPlaceholdersPrintNoneOnlyInExactCase) {
  EXPECT_EQ(U8(NormalizeAssetTag(L"")), "None");
  EXPECT_EQ(U8(NormalizeAssetTag(L"Default string")), "None");
  EXPECT_EQ(U8(NormalizeAssetTag(L"To Be Filled By O.E.M.")), "None");
  EXPECT_EQ(U8(NormalizeAssetTag(L"default string")), "default string");
  EXPECT_EQ(U8(NormalizeAssetTag(L"TO BE FILLED BY O.E.M.")), "TO BE FILLED BY O.E.M.");
  EXPECT_EQ(U8(NormalizeAssetTag(L"PC-0815")), "PC-0815");

  HardwareFacts facts;
  facts.smbiosTable = ChassisTable(0x83, "To Be Filled By O.E.M.");
  HardwareProfile p = ComposeHardwareProfile(facts, DiskInfo{});
  EXPECT_EQ(U8(p.assetTag), "None");
  EXPECT_EQ(U8(p.chassisType), "Desktop");
  facts.smbiosTable = ChassisTable(0x03, "Default String");
  EXPECT_EQ(U8(ComposeHardwareProfile(facts, DiskInfo{}).assetTag), "Default String");
}

TEST(HardwareCompose, ProcessorSpeedCoresAndThreads) {
  EXPECT_EQ(U8(ComposeProcessorText(L"  Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz\r\n", 3192, 6, 12)),
            "Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz, Current speed: 3192 MHz, Cores: 6 (12 "
            "Threads)");
  EXPECT_EQ(U8(ComposeProcessorText(L" \t", 0, 0, 4)),
            "x86/x64 Compatible Processor, Current speed: 0 MHz, Cores: 4 (4 Threads)");

  // Registry speed first, SMBIOS speed when the registry has none; SMBIOS core count.
  HardwareFacts facts;
  facts.logicalProcessors = 8;
  facts.processorName = L"CPU";
  Bytes processor(44, 0);  // formatted length 42, then an empty string set
  processor[0] = 4;
  processor[1] = 42;
  processor[22] = 0x60;  // 2400 MHz
  processor[23] = 0x09;
  processor[35] = 4;
  facts.smbiosTable = WithHeader(processor);
  EXPECT_EQ(U8(ComposeHardwareProfile(facts, DiskInfo{}).processor),
            "CPU, Current speed: 2400 MHz, Cores: 4 (8 Threads)");
  facts.processorMhz = 2904;
  EXPECT_EQ(U8(ComposeHardwareProfile(facts, DiskInfo{}).processor),
            "CPU, Current speed: 2904 MHz, Cores: 4 (8 Threads)");
}

TEST(HardwareCompose, MemoryInWholeMebibytesWithBankCounts) {
  EXPECT_EQ(U8(ComposeMemoryText(17179869184ULL + 1048575, 2, 2)),
            "16384 MB, Populated banks: 2, Free memory banks: 2");
  EXPECT_EQ(U8(ComposeMemoryText(1048575, 0, 3)), "0 MB, Populated banks: 1, Free memory banks: 3");
}

TEST(HardwareCompose, DiskTextsUseTheEffectiveSectorSize) {
  DiskInfo disk;
  disk.model = L"WDC WD20EZRZ-00Z5HB0";
  disk.serialNumber = L"WD-WCC4M1234567";
  disk.sizeBytes = 2000398934016ULL;
  disk.bytesPerSector = 4096;
  disk.mediaType = MediaKind::Hdd;
  disk.busType = BusKind::Sata;
  EXPECT_EQ(U8(ComposeDiskText(disk)),
            "1.82 TB HDD (磁気ディスク), Model: WDC WD20EZRZ-00Z5HB0, Serial: WD-WCC4M1234567");
  EXPECT_EQ(U8(ComposeDiskGeometryText(disk)),
            "SATA 1.82 TB / 488378646 Sector(s), Sector size: 4096 B");

  disk.sizeBytes = 134217728ULL + 5;
  disk.mediaType = MediaKind::Removable;
  disk.busType = BusKind::Usb;
  for (uint32_t reported : {0u, 256u}) {
    disk.bytesPerSector = reported;
    EXPECT_EQ(U8(ComposeDiskGeometryText(disk)),
              "USB 128.0 MB / 262144 Sector(s), Sector size: 512 B")
        << reported;
  }
  EXPECT_EQ(U8(ComposeDiskText(disk)),
            "128.0 MB リムーバブル (USB/フラッシュ), Model: WDC WD20EZRZ-00Z5HB0, Serial: "
            "WD-WCC4M1234567");
}

TEST(HardwareCompose, GraphicsSoundAndStorageLists) {
  EXPECT_EQ(
      U8(ComposeGraphicsText({L"NVIDIA GeForce RTX 3060", L"Intel(R) UHD Graphics 770"}, L"")),
      "NVIDIA GeForce RTX 3060 / Intel(R) UHD Graphics 770");
  EXPECT_EQ(U8(ComposeGraphicsText({}, L"  Wine Adapter \n")), "Wine Adapter");
  EXPECT_EQ(U8(ComposeGraphicsText({}, L" ")), "Standard VGA / GOP Graphics Adapter");

  EXPECT_EQ(U8(ComposeSoundText({L"Realtek Audio", L"NVIDIA High Definition Audio"})),
            "Card 1: Realtek Audio | Card 2: NVIDIA High Definition Audio");
  EXPECT_EQ(U8(ComposeSoundText({L"Only"})), "Card 1: Only");

  EXPECT_EQ(U8(ComposeStorageText({L"S1", L"S2"}, {L"H1", L"H2"})), "S1 / S2 / H1");
  EXPECT_EQ(U8(ComposeStorageText({L"S1"}, {L"H1", L"H2"})), "S1 / H1 / H2");
  EXPECT_EQ(U8(ComposeStorageText({}, {L"H1", L"H2"})), "H1 / H2");
  EXPECT_EQ(U8(ComposeStorageText({}, {})), "Standard Storage / NVMe / AHCI Controller");
}

TEST(HardwareText, TrimAndJoin) {
  EXPECT_EQ(U8(TrimWhitespace(L" \t\r\n a b \n\t")), "a b");
  EXPECT_EQ(U8(TrimWhitespace(L" \t\r\n")), "");
  EXPECT_EQ(U8(TrimWhitespace(L"\x3000全角\x3000")), "\u3000全角\u3000");  // only ASCII blanks
  EXPECT_EQ(U8(JoinStrings({}, L" | ")), "");
  EXPECT_EQ(U8(JoinStrings({L"a"}, L" | ")), "a");
  EXPECT_EQ(U8(JoinStrings({L"a", L"", L"c"}, L"/")), "a//c");
}

}  // namespace
}  // namespace tvde
