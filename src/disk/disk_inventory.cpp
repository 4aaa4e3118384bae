// The enumeration walk over physical disks and volumes, independent of the OS calls.
#include "disk/disk_inventory.h"

#include <algorithm>

#include "disk/disk_classification.h"
#include "disk/storage_descriptors.h"

namespace tvde {
namespace {

// Room for exactly one extent: a volume spread over several disks answers "more data" here.
constexpr size_t kSingleExtentBytes = 32;
constexpr size_t kManyExtentsBytes = 512;

std::span<const uint8_t> Returned(const std::vector<uint8_t>& buffer, size_t bytes) {
  return std::span<const uint8_t>(buffer).first(std::min(bytes, buffer.size()));
}

std::optional<std::vector<int32_t>> VolumeDisks(DiskSystemQueries& system, wchar_t letter,
                                                size_t bufferBytes) {
  std::vector<uint8_t> buffer(bufferBytes, 0);
  const std::optional<size_t> returned = system.QueryVolumeExtents(letter, buffer);
  if (!returned) return std::nullopt;
  return ParseVolumeDiskExtents(Returned(buffer, *returned));
}

}  // namespace

int32_t FindSystemDiskNumberWith(DiskSystemQueries& system) {
  const std::optional<std::wstring> directory = system.SystemDirectory();
  if (!directory || directory->empty()) return 0;
  const auto disks = VolumeDisks(system, (*directory)[0], kSingleExtentBytes);
  if (!disks || disks->empty()) return 0;
  return disks->front();
}

int32_t FindBootMediaDiskNumberWith(DiskSystemQueries& system) {
  const auto roots = system.LogicalDriveRoots();
  if (!roots) return -1;
  for (const std::wstring& root : *roots) {
    if (root.empty()) continue;
    if (!system.FileExists(root + L"sources\\boot.wim")) continue;
    const auto disks = VolumeDisks(system, root[0], kSingleExtentBytes);
    if (disks && !disks->empty()) return disks->front();
  }
  return -1;
}

void AssignDriveLettersWith(DiskSystemQueries& system, std::vector<DiskInfo>& disks) {
  const auto roots = system.LogicalDriveRoots();
  if (!roots) return;
  for (const std::wstring& root : *roots) {
    if (root.size() < 2) continue;
    const auto extents = VolumeDisks(system, root[0], kManyExtentsBytes);
    if (!extents) continue;
    for (int32_t diskNumber : *extents) {
      for (DiskInfo& disk : disks) {
        if (disk.diskNumber != diskNumber) continue;
        if (!disk.driveLetters.empty()) disk.driveLetters += L", ";
        disk.driveLetters += root.substr(0, 2);
      }
    }
  }
}

std::optional<DiskInfo> ReadPhysicalDisk(DiskSystemQueries& system, int32_t diskNumber) {
  const std::unique_ptr<DiskQueryHandle> handle = system.OpenPhysicalDisk(diskNumber);
  if (!handle) return std::nullopt;

  DiskInfo disk;
  disk.diskNumber = diskNumber;
  disk.devicePath = PhysicalDrivePath(diskNumber);
  disk.sizeBytes = 0;
  disk.bytesPerSector = 512;
  disk.busType = BusKind::Unknown;
  disk.mediaType = MediaKind::Standard;
  disk.safetyStatus = SafetyStatus::ProtectedSystemDisk;

  bool removable = false;
  std::vector<uint8_t> descriptor(1024, 0);
  if (const auto bytes = handle->QueryDeviceDescriptor(descriptor)) {
    if (const auto facts = ParseStorageDeviceDescriptor(Returned(descriptor, *bytes))) {
      removable = facts->removable;
      disk.busType = BusKindFromStorageBusType(facts->busType);
      disk.model = system.AnsiToWide(ComposeModel(facts->vendor, facts->product));
      disk.firmwareRevision = system.AnsiToWide(facts->revision);
      disk.serialNumber = system.AnsiToWide(facts->serial);
    }
  }
  if (disk.model.empty()) disk.model = L"Generic Physical Disk";
  if (disk.serialNumber.empty()) disk.serialNumber = L"N/A";

  std::vector<uint8_t> geometry(256, 0);
  if (const auto bytes = handle->QueryDriveGeometryEx(geometry)) {
    if (const auto facts = ParseDriveGeometryEx(Returned(geometry, *bytes))) {
      disk.sizeBytes = facts->diskSize;
      disk.bytesPerSector = facts->bytesPerSector;
    }
  }

  disk.mediaType = DetermineMediaKind(disk.busType, removable, [&]() -> std::optional<bool> {
    std::vector<uint8_t> penalty(kSeekPenaltyBytes, 0);
    const auto bytes = handle->QuerySeekPenalty(penalty);
    if (!bytes) return std::nullopt;
    return ParseSeekPenalty(Returned(penalty, *bytes));
  });

  if (disk.sizeBytes == 0) return std::nullopt;
  return disk;
}

std::vector<DiskInfo> EnumeratePhysicalDisksWith(DiskSystemQueries& system, int32_t environmentMode,
                                                 int32_t unlockInternal) {
  ClassificationContext context;
  context.environmentMode = environmentMode;
  context.unlockInternal = unlockInternal;
  context.systemDiskNumber = FindSystemDiskNumberWith(system);
  context.bootMediaDiskNumber = environmentMode == 1 ? FindBootMediaDiskNumberWith(system) : -1;

  std::vector<DiskInfo> disks;
  for (int32_t n = 0; n < kMaxPhysicalDisks; ++n) {
    if (auto disk = ReadPhysicalDisk(system, n)) disks.push_back(std::move(*disk));
  }
  AssignDriveLettersWith(system, disks);
  ClassifyDisks(disks, context);
  return disks;
}

}  // namespace tvde
