#pragma once
// Test buffers laid out like the Windows storage structures, written field by field at their
// documented offsets (STORAGE_DEVICE_DESCRIPTOR, DISK_GEOMETRY_EX,
// DEVICE_SEEK_PENALTY_DESCRIPTOR, VOLUME_DISK_EXTENTS).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/byte_order.h"

namespace tvde::testing {

// Strings follow the 40-byte header, each with its zero; a null string gets offset 0.
inline std::vector<uint8_t> DescriptorBytes(uint32_t busType, bool removable, const char* vendor,
                                            const char* product, const char* revision,
                                            const char* serial) {
  constexpr size_t kHeader = 40;
  std::string strings;  // everything after the header
  uint32_t offsets[4] = {};
  const char* texts[4] = {vendor, product, revision, serial};
  for (int i = 0; i < 4; ++i) {
    if (texts[i] == nullptr) continue;
    offsets[i] = static_cast<uint32_t>(kHeader + strings.size());
    strings.append(texts[i]);
    strings.push_back('\0');
  }
  std::vector<uint8_t> bytes(kHeader + strings.size(), 0);
  std::span<uint8_t> out(bytes);
  PutLe32(out.subspan(0), 40);                                   // Version
  PutLe32(out.subspan(4), static_cast<uint32_t>(bytes.size()));  // Size
  out[8] = 0;                                                    // DeviceType
  out[10] = removable ? 1 : 0;                                   // RemovableMedia
  out[11] = 1;                                                   // CommandQueueing
  PutLe32(out.subspan(12), offsets[0]);                          // VendorIdOffset
  PutLe32(out.subspan(16), offsets[1]);                          // ProductIdOffset
  PutLe32(out.subspan(20), offsets[2]);                          // ProductRevisionOffset
  PutLe32(out.subspan(24), offsets[3]);                          // SerialNumberOffset
  PutLe32(out.subspan(28), busType);                             // BusType
  for (size_t i = 0; i < strings.size(); ++i)
    out[kHeader + i] = static_cast<uint8_t>(strings[i]);
  return bytes;
}

inline std::vector<uint8_t> GeometryBytes(uint64_t diskSize, uint32_t bytesPerSector) {
  std::vector<uint8_t> bytes(32, 0);
  PutLe64(std::span(bytes).subspan(0), 1000);  // Cylinders (not used)
  PutLe32(std::span(bytes).subspan(8), 12);    // MEDIA_TYPE FixedMedia
  PutLe32(std::span(bytes).subspan(12), 255);
  PutLe32(std::span(bytes).subspan(16), 63);
  PutLe32(std::span(bytes).subspan(20), bytesPerSector);
  PutLe64(std::span(bytes).subspan(24), diskSize);
  return bytes;
}

inline std::vector<uint8_t> SeekPenaltyBytes(bool incursSeekPenalty) {
  std::vector<uint8_t> bytes(12, 0);
  PutLe32(std::span(bytes).subspan(0), 12);  // Version
  PutLe32(std::span(bytes).subspan(4), 12);  // Size
  bytes[8] = incursSeekPenalty ? 1 : 0;
  return bytes;
}

// NumberOfDiskExtents, 4 bytes of padding, then 24-byte DISK_EXTENT entries.
inline std::vector<uint8_t> ExtentsBytes(const std::vector<uint32_t>& diskNumbers) {
  std::vector<uint8_t> bytes(8 + 24 * diskNumbers.size(), 0);
  PutLe32(std::span(bytes).subspan(0), static_cast<uint32_t>(diskNumbers.size()));
  for (size_t i = 0; i < diskNumbers.size(); ++i) {
    const size_t at = 8 + 24 * i;
    PutLe32(std::span(bytes).subspan(at), diskNumbers[i]);         // DiskNumber
    PutLe64(std::span(bytes).subspan(at + 8), 1048576 * (i + 1));  // StartingOffset
    PutLe64(std::span(bytes).subspan(at + 16), 8ull << 30);        // ExtentLength
  }
  return bytes;
}

}  // namespace tvde::testing
