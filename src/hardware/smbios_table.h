#pragma once
// Reading the raw SMBIOS firmware table: the facts the hardware profile takes from it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tvde {

// Header in front of the structures, as the firmware-table query returns it.
inline constexpr size_t kSmbiosHeaderSize = 8;
inline constexpr size_t kSmbiosLengthOffset = 4;  // LE32 length of the structure data

// What the structures say; texts stay empty and numbers zero when a structure is absent.
struct SmbiosFacts {
  std::wstring manufacturer;     // type 1
  std::wstring model;            // type 1
  std::wstring serial;           // type 1
  std::wstring uuid;             // type 1, 36 characters
  std::wstring motherboard;      // type 2
  std::wstring chassisType;      // type 3
  std::wstring assetTag;         // type 3, only when the table holds a non-empty one
  std::wstring biosInformation;  // type 0
  uint32_t processorMhz = 0;     // type 4 current speed, last non-zero one
  uint32_t coreCount = 0;        // type 4 core counts (core count 2 from 256 on) of every socket
  uint32_t populatedBanks = 0;   // type 17 with a size
  uint32_t freeBanks = 0;        // type 17 with size 0 or 0xFFFF
};

// Walks header + structures up to the end-of-table structure (type 127). Malformed or
// truncated data ends the walk; what was read before stays.
SmbiosFacts ParseSmbiosTable(std::span<const uint8_t> table);

// String `number` (1-based) of the set that follows the formatted area. `structure` runs
// from the structure's first byte to the end of the table; nothing past it is read. Number
// 0, a missing or unterminated string and text that is not UTF-8 give an empty string.
std::wstring ReadSmbiosString(std::span<const uint8_t> structure, size_t formattedLength,
                              uint8_t number);

// Name of a chassis type byte; the top bit (chassis lock) is ignored.
std::wstring ChassisTypeName(uint8_t type);

// The 16 UUID bytes as text; the first three groups are stored little-endian.
std::wstring FormatSmbiosUuid(std::span<const uint8_t, 16> bytes);

}  // namespace tvde
