// Walk of the raw SMBIOS table and the few structure types the hardware profile reads.
#include "hardware/smbios_table.h"

#include <algorithm>

#include "base/byte_order.h"
#include "base/text.h"
#include "hardware/hardware_text.h"

namespace tvde {
namespace {

// Structure types and the formatted length each field needs.
constexpr uint8_t kTypeBios = 0;
constexpr uint8_t kTypeSystem = 1;
constexpr uint8_t kTypeBaseBoard = 2;
constexpr uint8_t kTypeChassis = 3;
constexpr uint8_t kTypeProcessor = 4;
constexpr uint8_t kTypeMemoryDevice = 17;
constexpr uint8_t kTypeEndOfTable = 127;

constexpr size_t kBiosMinLength = 10;             // vendor @4, version @5, date @8, ROM size @9
constexpr size_t kSystemMinLength = 8;            // manufacturer @4, product @5, serial @7
constexpr size_t kSystemUuidMinLength = 24;       // UUID @8..23
constexpr size_t kBaseBoardMinLength = 6;         // manufacturer @4, product @5
constexpr size_t kChassisMinLength = 9;           // type @5, asset tag @8
constexpr size_t kProcessorSpeedMinLength = 24;   // current speed LE16 @22
constexpr size_t kProcessorCoresMinLength = 36;   // core count @35
constexpr size_t kProcessorCores2MinLength = 44;  // core count 2 LE16 @42 (SMBIOS 3.0)
constexpr uint8_t kCoreCountInCoreCount2 = 0xFF;  // 256 cores or more: see core count 2
constexpr uint16_t kCoreCount2Reserved = 0xFFFF;
constexpr size_t kMemoryMinLength = 14;  // size LE16 @12

void ReadBios(std::span<const uint8_t> s, size_t length, SmbiosFacts& facts) {
  const std::wstring vendor = ReadSmbiosString(s, length, s[4]);
  const std::wstring version = ReadSmbiosString(s, length, s[5]);
  const std::wstring date = ReadSmbiosString(s, length, s[8]);
  std::wstring text = vendor;
  if (!version.empty()) text += L", Version: " + version;
  if (!date.empty()) text += L", Date: " + date;
  // The ROM size byte counts 64 KiB blocks minus one.
  text += L", ROM size: " + std::to_wstring((static_cast<uint32_t>(s[9]) + 1) * 64) + L" KB";
  facts.biosInformation = text;
}

void ReadSystem(std::span<const uint8_t> s, size_t length, SmbiosFacts& facts) {
  facts.manufacturer = ReadSmbiosString(s, length, s[4]);
  facts.model = ReadSmbiosString(s, length, s[5]);
  facts.serial = ReadSmbiosString(s, length, s[7]);
  if (length >= kSystemUuidMinLength) facts.uuid = FormatSmbiosUuid(s.subspan(8).first<16>());
}

void ReadBaseBoard(std::span<const uint8_t> s, size_t length, SmbiosFacts& facts) {
  const std::wstring maker = ReadSmbiosString(s, length, s[4]);
  const std::wstring product = ReadSmbiosString(s, length, s[5]);
  if (!maker.empty()) {
    facts.motherboard = product.empty() ? maker : maker + L" / " + product;
  } else if (!product.empty()) {
    facts.motherboard = L" / " + product;
  }
}

void ReadChassis(std::span<const uint8_t> s, size_t length, SmbiosFacts& facts) {
  facts.chassisType = ChassisTypeName(s[5]);
  std::wstring tag = ReadSmbiosString(s, length, s[8]);
  if (!tag.empty()) facts.assetTag = std::move(tag);
}

void ReadProcessor(std::span<const uint8_t> s, size_t length, SmbiosFacts& facts) {
  if (length >= kProcessorSpeedMinLength) {
    const uint16_t speed = GetLe16(s.subspan(22));
    if (speed != 0) facts.processorMhz = speed;
  }
  if (length < kProcessorCoresMinLength) return;
  uint32_t cores = s[35];
  if (cores == kCoreCountInCoreCount2) {
    const uint16_t cores2 =
        length >= kProcessorCores2MinLength ? GetLe16(s.subspan(42)) : kCoreCount2Reserved;
    cores = cores2 == kCoreCount2Reserved ? 0 : cores2;
  }
  // One structure per socket: a machine's cores are the sum (0 for an empty socket).
  facts.coreCount += cores;
}

void ReadMemoryDevice(std::span<const uint8_t> s, SmbiosFacts& facts) {
  const uint16_t size = GetLe16(s.subspan(12));
  if (size == 0 || size == 0xFFFF) {
    ++facts.freeBanks;
  } else {
    ++facts.populatedBanks;
  }
}

void ReadStructure(std::span<const uint8_t> s, size_t length, SmbiosFacts& facts) {
  switch (s[0]) {
    case kTypeBios:
      if (length >= kBiosMinLength) ReadBios(s, length, facts);
      break;
    case kTypeSystem:
      if (length >= kSystemMinLength) ReadSystem(s, length, facts);
      break;
    case kTypeBaseBoard:
      if (length >= kBaseBoardMinLength) ReadBaseBoard(s, length, facts);
      break;
    case kTypeChassis:
      if (length >= kChassisMinLength) ReadChassis(s, length, facts);
      break;
    case kTypeProcessor:
      ReadProcessor(s, length, facts);
      break;
    case kTypeMemoryDevice:
      if (length >= kMemoryMinLength) ReadMemoryDevice(s, facts);
      break;
    default:
      break;
  }
}

}  // namespace

SmbiosFacts ParseSmbiosTable(std::span<const uint8_t> table) {
  SmbiosFacts facts;
  if (table.size() < kSmbiosHeaderSize) return facts;
  size_t end = table.size();
  const uint64_t declared =
      kSmbiosHeaderSize + uint64_t{GetLe32(table.subspan(kSmbiosLengthOffset))};
  if (declared <= table.size()) end = static_cast<size_t>(declared);

  size_t pos = kSmbiosHeaderSize;
  while (end - pos >= 4) {
    const size_t length = table[pos + 1];
    if (length < 4 || length > end - pos) break;
    if (table[pos] == kTypeEndOfTable) break;
    const std::span<const uint8_t> structure = table.subspan(pos, end - pos);
    ReadStructure(structure, length, facts);
    // The string set ends with two zero bytes; without them the table is over.
    size_t next = end;
    for (size_t i = pos + length; i + 1 < end; ++i) {
      if (table[i] == 0 && table[i + 1] == 0) {
        next = i + 2;
        break;
      }
    }
    pos = next;
  }
  return facts;
}

std::wstring ReadSmbiosString(std::span<const uint8_t> structure, size_t formattedLength,
                              uint8_t number) {
  if (number == 0 || formattedLength > structure.size()) return {};
  size_t pos = formattedLength;
  for (uint32_t current = 1; current <= number; ++current) {
    if (pos >= structure.size() || structure[pos] == 0) return {};  // set ended first
    const auto begin = structure.begin() + static_cast<std::ptrdiff_t>(pos);
    const auto zero = std::find(begin, structure.end(), uint8_t{0});
    if (zero == structure.end()) return {};  // runs into the table end
    if (current == number) {
      const std::string_view bytes(reinterpret_cast<const char*>(&*begin),
                                   static_cast<size_t>(zero - begin));
      return TrimWhitespace(Utf8ToWide(bytes));
    }
    pos += static_cast<size_t>(zero - begin) + 1;
  }
  return {};
}

std::wstring ChassisTypeName(uint8_t type) {
  switch (type & 0x7F) {
    case 3:
      return L"Desktop";
    case 4:
      return L"Low Profile Desktop";
    case 5:
      return L"Pizza Box";
    case 6:
      return L"Mini Tower";
    case 7:
      return L"Tower";
    case 8:
      return L"Portable";
    case 9:
      return L"Laptop";
    case 10:
      return L"Notebook";
    case 11:
      return L"Hand Held";
    case 13:
      return L"All in One";
    case 14:
      return L"Sub Notebook";
    case 15:
      return L"Space-saving";
    case 16:
      return L"Lunch Box";
    case 17:
      return L"Main Server Chassis";
    case 23:
      return L"Rack Mount Chassis";
    case 30:
      return L"Tablet";
    case 31:
      return L"Convertible";
    case 32:
      return L"Detachable";
    case 35:
      return L"Mini PC";
    case 36:
      return L"Stick PC";
    default:
      return L"Standard Enclosure";
  }
}

std::wstring FormatSmbiosUuid(std::span<const uint8_t, 16> u) {
  return FormatPrintfW("%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", u[3],
                       u[2], u[1], u[0], u[5], u[4], u[7], u[6], u[8], u[9], u[10], u[11], u[12],
                       u[13], u[14], u[15]);
}

}  // namespace tvde
