// The SMBIOS table walk on crafted tables, composition of the profile texts from prepared
// facts (registry values where SMBIOS has none, asset-tag placeholders, speeds, memory, disk
// texts), and the real collector on this machine.
#include "hardware/hardware_compose.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/text.h"
#include "hardware/hardware_fields.h"
#include "hardware/hardware_profile.h"
#include "hardware/smbios_table.h"

#ifndef _WIN32
#include "hardware/posix/hardware_sources_posix.h"
#endif

namespace tvde {
namespace {

using Bytes = std::vector<uint8_t>;

// One structure: type, formatted bytes after the 4-byte header, then its string set.
Bytes Structure(uint8_t type, const Bytes& body, const std::vector<std::string>& strings = {}) {
  Bytes s = body;  // header inserted in front (appending the body trips GCC 12's bounds check)
  s.insert(s.begin(), {type, static_cast<uint8_t>(4 + body.size()), 0x34, 0x12});
  for (const std::string& text : strings) {
    for (const char c : text)
      s.push_back(static_cast<uint8_t>(c));
    s.push_back(0);
  }
  s.resize(s.size() + (strings.empty() ? 2 : 1), 0);
  return s;
}

// The 8-byte header (declared length = data size unless given), then the structures.
Bytes Table(const std::vector<Bytes>& structures, uint32_t declared = 0) {
  Bytes table(8, 0);
  for (const Bytes& s : structures)
    table.insert(table.end(), s.begin(), s.end());
  PutLe32(std::span(table).subspan(4), declared != 0 ? declared : table.size() - 8);
  return table;
}

TEST(HardwareCompose, RegistryFillsWhatSmbiosLacksAndPlaceholderTagsPrintNone) {
  HardwareFacts facts;
  facts.systemManufacturer = L"Dell Inc. ";  // used as stored, not trimmed
  facts.systemProductName = L"OptiPlex 7090";
  facts.baseBoardProduct = L"0K0FGF";
  facts.biosVendor = L"Dell Inc.";
  facts.biosVersion = L"1.21.0";
  facts.biosReleaseDate = L"08/08/2023";
  facts.smbiosTable = Table({Structure(3, {0, 0x0A, 0, 0, 1}, {"To Be Filled By O.E.M."})});
  HardwareProfile p = ComposeHardwareProfile(facts, DiskInfo{});
  EXPECT_EQ(
      WideToUtf8(p.manufacturer + L"|" + p.model + L"|" + p.motherboard + L"|" + p.biosInformation),
      "Dell Inc. |OptiPlex 7090| / 0K0FGF|Dell Inc., Version: 1.21.0, Date: 08/08/2023");
  EXPECT_EQ(WideToUtf8(p.chassisType + L"|" + p.assetTag), "Notebook|None");
  EXPECT_EQ(WideToUtf8(NormalizeAssetTag(L"Default string") + NormalizeAssetTag(L"default string")),
            "Nonedefault string");  // exact case only
  // The registry's speed first (else the table's), the table's cores (else the threads).
  facts.logicalProcessors = 8;
  facts.processorName = L"  CPU\r\n";
  facts.processorMhz = 2904;
  EXPECT_EQ(WideToUtf8(ComposeHardwareProfile(facts, DiskInfo{}).processor),
            "CPU, Current speed: 2904 MHz, Cores: 8 (8 Threads)");
  EXPECT_EQ(WideToUtf8(ComposeMemoryText(17179869184ULL + 1048575, 2, 2)),
            "16384 MB, Populated banks: 2, Free memory banks: 2");
}

TEST(HardwareCollector, FillsEveryFieldOnThisMachine) {
  DiskInfo disk;
  disk.model = L"Test Disk";
  disk.serialNumber = L"SN-1";
  disk.sizeBytes = 1073741824ULL;
  disk.bytesPerSector = 256;  // counts as 512
  disk.mediaType = MediaKind::NvmeSsd;
  disk.busType = BusKind::Nvme;
  const HardwareProfile p = CollectHardwareProfile(disk);
  EXPECT_EQ(WideToUtf8(p.disk + L"|" + p.diskGeometry),
            "1.00 GB NVMe SSD, Model: Test Disk, Serial: SN-1|"
            "NVMe 1.00 GB / 2097152 Sector(s), Sector size: 512 B");
  for (const HardwareFieldRef& field : kHardwareFields)
    EXPECT_FALSE((p.*field.member).empty()) << field.name;
  const auto matches = [](const std::wstring& text, const char* pattern) {
    return std::regex_match(WideToUtf8(text), std::regex(pattern));
  };
  EXPECT_TRUE(matches(
      p.processor, ".+, Current speed: [0-9]+ MHz, Cores: [1-9][0-9]* \\([1-9][0-9]* Threads\\)"))
      << WideToUtf8(p.processor);
  EXPECT_TRUE(matches(p.totalMemory,
                      "[1-9][0-9]* MB, Populated banks: [1-9][0-9]*, Free memory banks: [0-9]+"))
      << WideToUtf8(p.totalMemory);
}

Bytes Processor(uint16_t mhz, uint8_t cores, size_t length = 42, uint16_t cores2 = 0) {
  Bytes body(length - 4, 0);
  PutLe16(std::span(body).subspan(18), mhz);
  if (length > 35) body[31] = cores;
  if (length > 43) PutLe16(std::span(body).subspan(38), cores2);
  return Structure(4, body);
}

Bytes Memory(uint16_t sizeMb) {
  Bytes body(10, 0);
  PutLe16(std::span(body).subspan(8), sizeMb);
  return Structure(17, body);
}

std::string Text(const SmbiosFacts& f) {
  return WideToUtf8(f.biosInformation + L"|" + f.manufacturer + L"|" + f.model + L"|" + f.serial +
                    L"|" + f.uuid + L"|" + f.motherboard + L"|" + f.chassisType + L"|" +
                    f.assetTag) +
         FormatPrintf("|%u MHz, %u cores, %u+%u banks", f.processorMhz, f.coreCount,
                      f.populatedBanks, f.freeBanks);
}

const Bytes kBios = Structure(0, {1, 2, 0, 0xE0, 3, 0x0F}, {"AMI", "F.42", "11/07/2023"});
// Maker, product, version, serial, then the UUID (stored mixed-endian) and the wake-up type.
const Bytes kSystem =
    Structure(1, {1,    2,    3,    4,    0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                  0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x06, 5,    6},
              {"HP", "ProBook 450", "1.0", "5CD1234"});

TEST(SmbiosTable, ReadsEveryHandledTypeAndCountsCoresAndBanks) {
  EXPECT_EQ(
      Text(ParseSmbiosTable(
          Table({kBios, kSystem, Structure(2, {1, 2}, {"HP", "8A59"}),
                 Structure(3, {1, 0x83, 0, 0, 2}, {"HP", "ASSET-42"}), Processor(2400, 4),
                 Memory(8192), Memory(0), Memory(0xFFFF), Memory(16384), Structure(127, {})}))),
      "AMI, Version: F.42, Date: 11/07/2023, ROM size: 1024 KB|HP|ProBook 450|5CD1234|"
      "33221100-5544-7766-8899-AABBCCDDEEFF|HP / 8A59|Desktop|ASSET-42|2400 MHz, 4 cores, 2+2 banks");
  // The cores of every socket add up; 0xFF defers to core count 2 (length 48) unless that is
  // reserved or missing. Nothing behind the end-of-table structure counts.
  EXPECT_EQ(Text(ParseSmbiosTable(Table({Processor(2100, 24), Processor(2100, 0xFF, 48, 288),
                                         Processor(2100, 0xFF, 48, 0xFFFF), Processor(2100, 0xFF),
                                         Structure(127, {}), Processor(2100, 64), Memory(4096)}))),
            "||||||||2100 MHz, 312 cores, 0+0 banks");
  // Below their minimum lengths structures are ignored; a short processor has no cores.
  EXPECT_EQ(Text(ParseSmbiosTable(Table({Structure(0, {1, 2, 0, 0, 3}, {"V", "1", "D"}),
                                         Structure(1, {1, 2, 3}, {"M"}), Structure(2, {1}, {"B"}),
                                         Structure(3, {1, 9, 0, 0}, {"X"}), Processor(1800, 4, 24),
                                         Structure(17, Bytes(9, 0x10))}))),
            "||||||||1800 MHz, 0 cores, 0+0 banks");
  EXPECT_EQ(WideToUtf8(ChassisTypeName(0x83)), "Desktop");  // the lock bit is no type
  EXPECT_EQ(WideToUtf8(ChassisTypeName(0x7F)), "Standard Enclosure");
}

TEST(SmbiosTable, TruncatedAndMalformedTablesKeepWhatWasReadBefore) {
  Bytes cut = Table({kBios, kSystem});
  cut.resize(8 + kBios.size() + 10);  // inside the system structure's formatted area
  for (const Bytes& table : {cut, Table({kBios, kSystem}, static_cast<uint32_t>(kBios.size()))}) {
    const SmbiosFacts f = ParseSmbiosTable(table);
    EXPECT_FALSE(f.biosInformation.empty());
    EXPECT_TRUE(f.manufacturer.empty());
  }
  EXPECT_EQ(WideToUtf8(ParseSmbiosTable(Table({kBios, kSystem}, 1 << 30)).model), "ProBook 450");
  EXPECT_TRUE(ParseSmbiosTable(Bytes{0, 3, 4}).chassisType.empty());
  // Strings cut off by the end of the table read as missing; the structure still counts.
  Bytes open = Table({kSystem});
  open.resize(open.size() - 10);  // drops "5CD1234", the set end and the zero after "1.0"
  EXPECT_EQ(WideToUtf8(ParseSmbiosTable(open).model + L"|" + ParseSmbiosTable(open).serial),
            "ProBook 450|");
  const Bytes s = Structure(1, {1, 2, 3, 4}, {"  Padded\t", "\xE6\xB6\x88", "Caf\xE9"});
  EXPECT_EQ(WideToUtf8(ReadSmbiosString(s, 8, 1) + ReadSmbiosString(s, 8, 2)), "Padded消");
  EXPECT_EQ(ReadSmbiosString(s, 8, 3) + ReadSmbiosString(s, 8, 4), L"");  // not UTF-8; none
}

#ifndef _WIN32
TEST(SmbiosTable, TheKernelsCopyGetsTheHeaderTheParserExpects) {
  // The SMBIOS 3 (or 2) entry point's version, then the length of the structures.
  const Bytes table = WrapSmbiosTable(Bytes{'_', 'S', 'M', '3', '_', 0, 24, 3, 6, 0}, kBios);
  EXPECT_EQ(Bytes(table.begin(), table.begin() + 8), (Bytes{0, 3, 6, 0, 31, 0, 0, 0}));
  EXPECT_EQ(WideToUtf8(ParseSmbiosTable(table).biosInformation).substr(0, 3), "AMI");
  const Bytes old = WrapSmbiosTable(Bytes{'_', 'S', 'M', '_', 0, 31, 2, 8}, kBios);
  EXPECT_EQ(Bytes(old.begin(), old.begin() + 3), (Bytes{0, 2, 8}));
}
#endif

}  // namespace
}  // namespace tvde
