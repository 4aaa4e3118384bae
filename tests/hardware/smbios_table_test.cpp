// SMBIOS table walk on crafted tables: strings, minimum lengths, truncation, last-wins.
#include "hardware/smbios_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;
using Bytes = std::vector<uint8_t>;

// Byte by byte: GCC 12 warns falsely about range inserts into small vectors at -O3.
template <typename Range>
void Append(Bytes& out, const Range& more) {
  for (auto b : more)
    out.push_back(static_cast<uint8_t>(b));
}

// One structure: type, formatted bytes after the 4-byte header, then its string set.
Bytes Structure(uint8_t type, const Bytes& body, const std::vector<std::string>& strings = {}) {
  Bytes s{type, static_cast<uint8_t>(4 + body.size()), 0x34, 0x12};
  Append(s, body);
  for (const std::string& text : strings) {
    Append(s, text);
    s.push_back(0);
  }
  if (strings.empty()) s.push_back(0);
  s.push_back(0);
  return s;
}

// Header (declared length = data size unless given) + structures.
Bytes Table(const std::vector<Bytes>& structures, int64_t declaredLength = -1) {
  Bytes data;
  for (const Bytes& s : structures)
    Append(data, s);
  const uint32_t length = declaredLength < 0 ? static_cast<uint32_t>(data.size())
                                             : static_cast<uint32_t>(declaredLength);
  Bytes table{0,
              3,
              4,
              0,
              static_cast<uint8_t>(length),
              static_cast<uint8_t>(length >> 8),
              static_cast<uint8_t>(length >> 16),
              static_cast<uint8_t>(length >> 24)};
  Append(table, data);
  return table;
}

Bytes Bios(uint8_t romSize, const std::vector<std::string>& strings, uint8_t version = 2,
           uint8_t date = 3) {
  return Structure(0, {1, version, 0x00, 0xE0, date, romSize}, strings);
}

Bytes System(const std::vector<std::string>& strings, const Bytes& uuid = {}) {
  Bytes body{1, 2, 3, 4};
  if (!uuid.empty()) {
    Append(body, uuid);
    Append(body, Bytes{0x06, 5, 6});
  }
  return Structure(1, body, strings);
}

Bytes Chassis(uint8_t type, uint8_t assetString, const std::vector<std::string>& strings) {
  return Structure(3, {1, type, 0, 0, assetString}, strings);
}

Bytes Processor(uint16_t speed, int coreCount) {
  Bytes body(coreCount < 0 ? 20 : 38, 0);  // formatted length 24 or 42
  body[22 - 4] = static_cast<uint8_t>(speed);
  body[23 - 4] = static_cast<uint8_t>(speed >> 8);
  if (coreCount >= 0) body[35 - 4] = static_cast<uint8_t>(coreCount);
  return Structure(4, body);
}

Bytes Memory(uint16_t sizeMb) {
  Bytes body(10, 0);  // formatted length 14
  body[12 - 4] = static_cast<uint8_t>(sizeMb);
  body[13 - 4] = static_cast<uint8_t>(sizeMb >> 8);
  return Structure(17, body);
}

const Bytes kUuidBytes{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                       0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};

TEST(SmbiosTable, ReadsEveryHandledTypeOfACompleteTable) {
  const Bytes table = Table({
      Bios(0x0F, {"American Megatrends Inc.", "F.42", "11/07/2023"}),
      System({"HP", "ProBook 450 G9", "1.0", "5CD1234XYZ", "SKU", "Family"}, kUuidBytes),
      Structure(2, {1, 2}, {"HP", "8A59"}),
      Chassis(0x83, 2, {"HP", "ASSET-0042"}),
      Processor(2400, 4),
      Memory(8192),
      Memory(0),
      Memory(0xFFFF),
      Memory(16384),
      Structure(127, {}),
  });
  const SmbiosFacts f = ParseSmbiosTable(table);
  EXPECT_EQ(U8(f.biosInformation),
            "American Megatrends Inc., Version: F.42, Date: 11/07/2023, ROM size: 1024 KB");
  EXPECT_EQ(U8(f.manufacturer), "HP");
  EXPECT_EQ(U8(f.model), "ProBook 450 G9");
  EXPECT_EQ(U8(f.serial), "5CD1234XYZ");
  EXPECT_EQ(U8(f.uuid), "33221100-5544-7766-8899-AABBCCDDEEFF");
  EXPECT_EQ(U8(f.motherboard), "HP / 8A59");
  EXPECT_EQ(U8(f.chassisType), "Desktop");  // 0x83: locked desktop
  EXPECT_EQ(U8(f.assetTag), "ASSET-0042");
  EXPECT_EQ(f.processorMhz, 2400u);
  EXPECT_EQ(f.coreCount, 4u);
  EXPECT_EQ(f.populatedBanks, 2u);
  EXPECT_EQ(f.freeBanks, 2u);
}

TEST(SmbiosTable, BiosTextLeavesOutEmptyVersionAndDate) {
  EXPECT_EQ(U8(ParseSmbiosTable(Table({Bios(0x00, {"Vendor"}, 0, 0)})).biosInformation),
            "Vendor, ROM size: 64 KB");
  EXPECT_EQ(U8(ParseSmbiosTable(Table({Bios(0xFF, {"V", "1.0"}, 2, 0)})).biosInformation),
            "V, Version: 1.0, ROM size: 16384 KB");
  EXPECT_EQ(U8(ParseSmbiosTable(Table({Bios(0x01, {}, 0, 0)})).biosInformation),
            ", ROM size: 128 KB");
}

TEST(SmbiosTable, LastStructureWinsForTextsAndBanksAddUp) {
  const Bytes table = Table({
      System({"First", "One", "v", "S1"}),
      Structure(1, {0, 1, 2, 3}, {"Two", "v", "S2"}),  // no manufacturer: still overwrites
      Structure(2, {1, 2}, {"Board", "X"}),
      Structure(2, {0, 1}, {"OnlyProduct"}),
      Structure(2, {0, 0}),  // both empty: nothing changes
      Chassis(9, 1, {"Tag-1"}),
      Chassis(10, 0, {}),  // no asset tag: the earlier one stays
      Processor(3000, 8),
      Processor(0, 0),  // speed 0 keeps 3000; an empty socket adds no cores
      Memory(4096),
      Memory(4096),
  });
  const SmbiosFacts f = ParseSmbiosTable(table);
  EXPECT_EQ(U8(f.manufacturer), "");
  EXPECT_EQ(U8(f.model), "Two");
  EXPECT_EQ(U8(f.serial), "S2");
  EXPECT_EQ(U8(f.uuid), "");  // formatted length 8 carries no UUID
  EXPECT_EQ(U8(f.motherboard), " / OnlyProduct");
  EXPECT_EQ(U8(f.chassisType), "Notebook");
  EXPECT_EQ(U8(f.assetTag), "Tag-1");
  EXPECT_EQ(f.processorMhz, 3000u);
  EXPECT_EQ(f.coreCount, 8u);
  EXPECT_EQ(f.populatedBanks, 2u);
  EXPECT_EQ(f.freeBanks, 0u);
}

TEST(SmbiosTable, CoresAreSummedOverSocketsWithCoreCount2AndTheWalkEndsAtType127) {
  // SMBIOS 3.0 processors (formatted length 48): core count 0xFF defers to core count 2 at 42.
  auto processor3 = [](uint16_t cores2) {
    Bytes body(44, 0);
    body[35 - 4] = 0xFF;
    body[42 - 4] = static_cast<uint8_t>(cores2);
    body[43 - 4] = static_cast<uint8_t>(cores2 >> 8);
    return Structure(4, body);
  };
  const SmbiosFacts f = ParseSmbiosTable(
      Table({Processor(2100, 24), processor3(288),
             processor3(0xFFFF),     // reserved: unknown, adds nothing
             Processor(2100, 0xFF),  // formatted length 42: no core count 2 to read
             Structure(127, {}), Processor(2100, 64),  // behind the end-of-table structure
             Memory(4096)}));
  EXPECT_EQ(f.coreCount, 24u + 288u);
  EXPECT_EQ(f.populatedBanks, 0u);
}

TEST(SmbiosTable, StructuresBelowTheirMinimumLengthAreIgnored) {
  const Bytes table = Table({
      Structure(0, {1, 2, 0, 0, 3}, {"V", "1", "D"}),  // length 9 < 10
      Structure(1, {1, 2, 3}, {"M", "P", "V"}),        // length 7 < 8
      Structure(2, {1}, {"Board"}),                    // length 5 < 6
      Structure(3, {1, 9, 0, 0}, {"X"}),               // length 8 < 9
      Processor(1800, -1),                             // length 24: speed but no cores
      Structure(17, Bytes(9, 0x10)),                   // length 13 < 14
  });
  const SmbiosFacts f = ParseSmbiosTable(table);
  EXPECT_TRUE(f.biosInformation.empty());
  EXPECT_TRUE(f.manufacturer.empty());
  EXPECT_TRUE(f.motherboard.empty());
  EXPECT_TRUE(f.chassisType.empty());
  EXPECT_EQ(f.processorMhz, 1800u);
  EXPECT_EQ(f.coreCount, 0u);
  EXPECT_EQ(f.populatedBanks + f.freeBanks, 0u);
}

TEST(SmbiosTable, TruncatedAndMalformedTablesKeepWhatWasReadBefore) {
  const Bytes bios = Bios(0x0F, {"Vendor", "1", "D"});
  const Bytes system = System({"Maker", "Model", "v", "Serial"}, kUuidBytes);

  // Cut inside the system structure's formatted area.
  Bytes cut = Table({bios, system});
  cut.resize(8 + bios.size() + 10);
  SmbiosFacts f = ParseSmbiosTable(cut);
  EXPECT_FALSE(f.biosInformation.empty());
  EXPECT_TRUE(f.manufacturer.empty());

  // Formatted length below 4 ends the walk.
  Bytes broken = Structure(3, {}, {});
  broken[1] = 3;
  f = ParseSmbiosTable(Table({bios, broken, system}));
  EXPECT_FALSE(f.biosInformation.empty());
  EXPECT_TRUE(f.manufacturer.empty());

  // The declared length ends the walk before the buffer does.
  f = ParseSmbiosTable(Table({bios, system}, static_cast<int64_t>(bios.size())));
  EXPECT_FALSE(f.biosInformation.empty());
  EXPECT_TRUE(f.manufacturer.empty());

  // A declared length beyond the buffer falls back to the buffer's end.
  f = ParseSmbiosTable(Table({bios, system}, 1 << 30));
  EXPECT_EQ(U8(f.manufacturer), "Maker");

  // Strings cut off by the end of the table read as missing; the structure still counts.
  Bytes open = Table({System({"Maker", "Model", "v", "Serial"})});
  open.resize(open.size() - 9);  // drops "Serial", the set end and the zero after "v"
  f = ParseSmbiosTable(open);
  EXPECT_EQ(U8(f.manufacturer), "Maker");
  EXPECT_EQ(U8(f.model), "Model");
  EXPECT_EQ(U8(f.serial), "");

  // Too short for a header, or no structure data at all.
  EXPECT_TRUE(ParseSmbiosTable(Bytes{0, 3, 4}).manufacturer.empty());
  EXPECT_TRUE(ParseSmbiosTable(Table({})).chassisType.empty());
}

TEST(SmbiosTable, ReadSmbiosStringRules) {
  const Bytes s = Structure(1, {1, 2, 3, 4}, {"  Padded\t", "Two", "\xE6\xB6\x88\xE5\x8E\xBB"});
  const std::span<const uint8_t> all(s);
  EXPECT_EQ(U8(ReadSmbiosString(all, 8, 0)), "");
  EXPECT_EQ(U8(ReadSmbiosString(all, 8, 1)), "Padded");
  EXPECT_EQ(U8(ReadSmbiosString(all, 8, 2)), "Two");
  EXPECT_EQ(U8(ReadSmbiosString(all, 8, 3)), "消去");
  EXPECT_EQ(U8(ReadSmbiosString(all, 8, 4)), "");  // beyond the set
  EXPECT_EQ(U8(ReadSmbiosString(all, 8, 255)), "");
  // The table ends inside string 2: string 1 is still there, string 2 is not.
  EXPECT_EQ(U8(ReadSmbiosString(all.first(8 + 10 + 2), 8, 1)), "Padded");
  EXPECT_EQ(U8(ReadSmbiosString(all.first(8 + 10 + 2), 8, 2)), "");
  // A formatted length past the end reads nothing.
  EXPECT_EQ(U8(ReadSmbiosString(all.first(6), 8, 1)), "");
  // No strings: the set is just the double zero.
  const Bytes bare = Structure(1, {1, 2, 3, 4});
  EXPECT_EQ(U8(ReadSmbiosString(bare, 8, 1)), "");
  // Bytes that are not UTF-8 give nothing rather than garbage.
  const Bytes latin1 = Structure(1, {1, 0, 0, 0}, {"Caf\xE9"});
  EXPECT_EQ(U8(ReadSmbiosString(latin1, 8, 1)), "");
}

TEST(SmbiosTable, ChassisTypeNames) {
  const std::pair<int, const char*> known[] = {
      {3, "Desktop"},
      {4, "Low Profile Desktop"},
      {5, "Pizza Box"},
      {6, "Mini Tower"},
      {7, "Tower"},
      {8, "Portable"},
      {9, "Laptop"},
      {10, "Notebook"},
      {11, "Hand Held"},
      {13, "All in One"},
      {14, "Sub Notebook"},
      {15, "Space-saving"},
      {16, "Lunch Box"},
      {17, "Main Server Chassis"},
      {23, "Rack Mount Chassis"},
      {30, "Tablet"},
      {31, "Convertible"},
      {32, "Detachable"},
      {35, "Mini PC"},
      {36, "Stick PC"},
  };
  for (const auto& [value, name] : known) {
    EXPECT_EQ(U8(ChassisTypeName(static_cast<uint8_t>(value))), name) << value;
    EXPECT_EQ(U8(ChassisTypeName(static_cast<uint8_t>(value | 0x80))), name) << value;
  }
  for (int value : {0, 1, 2, 12, 18, 22, 24, 29, 33, 34, 37, 0x7F, 0xFF})
    EXPECT_EQ(U8(ChassisTypeName(static_cast<uint8_t>(value))), "Standard Enclosure") << value;
}

}  // namespace
}  // namespace tvde
