#pragma once
// Parsers for the answers of the Windows storage, geometry and volume queries, taken as the raw
// bytes the system returned, plus the bus and media rules built on them.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "disk/disk_info.h"

namespace tvde {

// STORAGE_DEVICE_DESCRIPTOR (IOCTL_STORAGE_QUERY_PROPERTY, StorageDeviceProperty).
inline constexpr size_t kDescriptorRemovableOffset = 10;  // BOOLEAN RemovableMedia
inline constexpr size_t kDescriptorVendorOffset = 12;     // DWORD VendorIdOffset
inline constexpr size_t kDescriptorProductOffset = 16;    // DWORD ProductIdOffset
inline constexpr size_t kDescriptorRevisionOffset = 20;   // DWORD ProductRevisionOffset
inline constexpr size_t kDescriptorSerialOffset = 24;     // DWORD SerialNumberOffset
inline constexpr size_t kDescriptorBusTypeOffset = 28;    // STORAGE_BUS_TYPE BusType
inline constexpr size_t kDescriptorMinimumBytes = 40;     // sizeof(STORAGE_DEVICE_DESCRIPTOR)

// DISK_GEOMETRY_EX (IOCTL_DISK_GET_DRIVE_GEOMETRY_EX).
inline constexpr size_t kGeometryBytesPerSectorOffset = 20;  // Geometry.BytesPerSector
inline constexpr size_t kGeometryDiskSizeOffset = 24;        // LARGE_INTEGER DiskSize
inline constexpr size_t kGeometryMinimumBytes = 32;

// DEVICE_SEEK_PENALTY_DESCRIPTOR (StorageDeviceSeekPenaltyProperty).
inline constexpr size_t kSeekPenaltyFlagOffset = 8;  // BOOLEAN IncursSeekPenalty
inline constexpr size_t kSeekPenaltyBytes = 12;

// VOLUME_DISK_EXTENTS (IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS): a DWORD count, then DISK_EXTENT
// entries of 24 bytes from offset 8, each starting with its DWORD DiskNumber.
inline constexpr size_t kExtentsFirstOffset = 8;
inline constexpr size_t kExtentBytes = 24;

// STORAGE_DEVICE_NUMBER (IOCTL_STORAGE_GET_DEVICE_NUMBER): DeviceType, DeviceNumber,
// PartitionNumber.
inline constexpr size_t kDeviceNumberOffset = 4;
inline constexpr size_t kDeviceNumberBytes = 12;

// GET_DISK_ATTRIBUTES (IOCTL_DISK_GET_DISK_ATTRIBUTES): Version, Reserved1, then DWORDLONG
// Attributes.
inline constexpr size_t kDiskAttributesOffset = 8;
inline constexpr size_t kDiskAttributesBytes = 16;
inline constexpr uint64_t kDiskAttributeOffline = 0x1;
inline constexpr uint64_t kDiskAttributeReadOnly = 0x2;

// Identity read from a storage device descriptor; strings are ANSI, trimmed.
struct StorageDeviceFacts {
  bool removable = false;
  uint32_t busType = 0;  // STORAGE_BUS_TYPE
  std::string vendor;
  std::string product;
  std::string revision;
  std::string serial;
};

// `returned` holds exactly the bytes the query returned. Nothing when fewer than 40 bytes came
// back. A string whose offset is zero or outside the returned bytes stays empty; a string runs
// to its zero terminator or to the end of the returned bytes.
std::optional<StorageDeviceFacts> ParseStorageDeviceDescriptor(std::span<const uint8_t> returned);

struct DriveGeometryFacts {
  uint64_t diskSize = 0;
  uint32_t bytesPerSector = 512;  // 512 when the geometry reports 0
};
std::optional<DriveGeometryFacts> ParseDriveGeometryEx(std::span<const uint8_t> returned);

// Whether the device incurs a seek penalty; nothing when fewer than 12 bytes came back.
std::optional<bool> ParseSeekPenalty(std::span<const uint8_t> returned);

// The device number; nothing when fewer than 12 bytes came back.
std::optional<int32_t> ParseStorageDeviceNumber(std::span<const uint8_t> returned);

struct DiskAttributeFacts {
  bool offline = false;
  bool readOnly = false;
};
// Nothing when fewer than 16 bytes came back.
std::optional<DiskAttributeFacts> ParseDiskAttributes(std::span<const uint8_t> returned);

// Disk numbers of the extents that lie completely inside the returned bytes, in order.
std::vector<int32_t> ParseVolumeDiskExtents(std::span<const uint8_t> returned);

// STORAGE_BUS_TYPE value to the bus kind shown to the operator.
BusKind BusKindFromStorageBusType(uint32_t busType);

// NVMe bus: NVMe SSD; removable flag or an SD/MMC bus: removable; otherwise the seek-penalty
// answer decides (asked only then): penalty HDD, none SSD; no answer: removable on USB, else HDD.
MediaKind DetermineMediaKind(BusKind bus, bool removable,
                             const std::function<std::optional<bool>()>& querySeekPenalty);

// The text without leading and trailing white space (C isspace); a null pointer gives "".
std::string TrimAscii(const char* text);

// vendor + " " + product, or the product alone when the vendor is empty.
std::string ComposeModel(const std::string& vendor, const std::string& product);

}  // namespace tvde
