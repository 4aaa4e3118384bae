#pragma once
// The value record that describes one physical disk everywhere in the program, its three
// enumerations and their display labels, and the one size format every screen and report uses.

#include <cstdint>
#include <string>

#include "firmware/firmware_capabilities.h"

namespace tvde {

enum class BusKind : int32_t {
  Unknown = 0,
  Usb = 1,
  Sata = 2,
  Nvme = 3,
  ScsiSas = 4,
  SdCard = 5,
  Mmc = 6,
  Raid = 7,
  Virtual = 8,
};

enum class MediaKind : int32_t {
  Standard = 0,  // never assigned by classification
  Hdd = 1,
  Ssd = 2,  // SSD on SATA/SAS
  NvmeSsd = 3,
  Removable = 4,
};

// Only Erasable and ErasableSecondary allow any write to the disk.
enum class SafetyStatus : int32_t {
  Erasable = 0,
  ProtectedSystemDisk = 1,
  ProtectedBootMedia = 2,
  LockedInternal = 3,
  ErasableSecondary = 4,
};

struct DiskInfo {
  int32_t diskNumber = -1;
  std::wstring devicePath;
  std::wstring model = L"Generic Physical Disk";
  std::wstring serialNumber = L"N/A";
  std::wstring firmwareRevision;
  std::wstring driveLetters;
  uint64_t sizeBytes = 0;
  uint32_t bytesPerSector = 512;
  MediaKind mediaType = MediaKind::Standard;
  BusKind busType = BusKind::Unknown;
  SafetyStatus safetyStatus = SafetyStatus::ProtectedSystemDisk;
  std::wstring safetyReason;
  // The disk's device-interface path ("\\?\scsi#disk&...#{53f56307-...}") when the list
  // found it that way; it names this very device whatever number it has by the time of a
  // write. Empty when unknown.
  std::wstring interfacePath;
  // What the drive's firmware can do to erase itself and the sectors it hides, as the list
  // found them (not checked until a list asks).
  FirmwareCapabilities firmware;
};

std::wstring BusTypeLabel(BusKind bus);
std::wstring MediaTypeLabel(MediaKind media);
std::wstring SafetyStatusLabel(SafetyStatus status);

// True only for the two states that allow a write.
bool AllowsWrite(SafetyStatus status);

// "\\.\PhysicalDriveN"
std::wstring PhysicalDrivePath(int32_t diskNumber);

// The path a write opens: the interface path when known, else devicePath.
std::wstring TargetDevicePath(const DiskInfo& disk);

// "0 B", "%.1f MB", "%.2f GB" or "%.2f TB" (binary units; TB from 1000 GiB on).
std::wstring FormatSize(uint64_t bytes);

// Bytes per sector with the "0 counts as 512" rule.
inline uint32_t EffectiveSectorSize(uint32_t bytesPerSector) {
  return bytesPerSector == 0 ? 512 : bytesPerSector;
}

}  // namespace tvde
