// The enumeration walk over physical disks and volumes, independent of the OS calls.
#include "disk/disk_inventory.h"

#include <algorithm>

#include "base/byte_order.h"
#include "disk/disk_classification.h"
#include "disk/protected_disks.h"
#include "disk/storage_descriptors.h"
#include "disk/volume_disks.h"

namespace tvde {
namespace {

// A descriptor larger than this is not believed.
constexpr uint32_t kMaxDescriptorBytes = 64 * 1024;
constexpr size_t kDescriptorHeaderBytes = 8;  // STORAGE_DESCRIPTOR_HEADER: Version, Size

std::span<const uint8_t> Returned(const std::vector<uint8_t>& buffer, size_t bytes) {
  return std::span<const uint8_t>(buffer).first(std::min(bytes, buffer.size()));
}

}  // namespace

// Sized by the header: the strings of a descriptor larger than a fixed buffer would otherwise
// be cut off or lost.
std::optional<StorageDeviceFacts> ReadDeviceDescriptor(DiskQueryHandle& handle) {
  std::vector<uint8_t> header(kDescriptorHeaderBytes, 0);
  const auto headerBytes = handle.Query(DiskQuery::DeviceDescriptor, header);
  if (!headerBytes || *headerBytes < kDescriptorHeaderBytes) return std::nullopt;
  const uint32_t size = GetLe32(std::span<const uint8_t>(header).subspan(4));
  if (size < kDescriptorMinimumBytes || size > kMaxDescriptorBytes) return std::nullopt;
  std::vector<uint8_t> descriptor(size, 0);
  const auto bytes = handle.Query(DiskQuery::DeviceDescriptor, descriptor);
  if (!bytes) return std::nullopt;
  return ParseStorageDeviceDescriptor(Returned(descriptor, *bytes));
}

int32_t FindSystemDiskNumberWith(DiskSystemQueries& system) {
  const std::optional<std::wstring> directory = system.SystemDirectory();
  if (!directory || directory->empty()) return 0;
  const auto disks = VolumeExtentDisks(system, VolumeDeviceForLetter((*directory)[0]));
  if (!disks || disks->empty()) return 0;
  return disks->front();
}

int32_t FindBootMediaDiskNumberWith(DiskSystemQueries& system) {
  const std::vector<int32_t> disks = FindBootMediaDisksWith(system);
  return disks.empty() ? -1 : disks.front();
}

void AssignDriveLettersWith(DiskSystemQueries& system, std::vector<DiskInfo>& disks) {
  const auto roots = system.LogicalDriveRoots();
  if (!roots) return;
  for (const std::wstring& root : *roots) {
    if (root.size() < 2) continue;
    const auto extents = VolumeExtentDisks(system, VolumeDeviceForLetter(root[0]));
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

std::optional<int32_t> QueryDeviceNumber(DiskQueryHandle& handle) {
  std::vector<uint8_t> answer(kDeviceNumberBytes, 0);
  const auto bytes = handle.Query(DiskQuery::DeviceNumber, answer);
  if (!bytes) return std::nullopt;
  const auto number = ParseStorageDeviceNumber(Returned(answer, *bytes));
  if (!number || *number < 0) return std::nullopt;
  return number;
}

DiskInfo ReadDiskFacts(DiskSystemQueries& system, DiskQueryHandle& handle, int32_t diskNumber) {
  DiskInfo disk;
  disk.diskNumber = diskNumber;
  disk.devicePath = PhysicalDrivePath(diskNumber);
  disk.sizeBytes = 0;
  disk.bytesPerSector = 512;
  disk.busType = BusKind::Unknown;
  disk.mediaType = MediaKind::Standard;
  disk.safetyStatus = SafetyStatus::ProtectedSystemDisk;

  bool removable = false;
  if (const auto facts = ReadDeviceDescriptor(handle)) {
    removable = facts->removable;
    disk.busType = BusKindFromStorageBusType(facts->busType);
    disk.model = system.AnsiToWide(ComposeModel(facts->vendor, facts->product));
    disk.firmwareRevision = system.AnsiToWide(facts->revision);
    disk.serialNumber = system.AnsiToWide(facts->serial);
  }
  if (disk.model.empty()) disk.model = L"Generic Physical Disk";
  if (disk.serialNumber.empty()) disk.serialNumber = L"N/A";

  std::vector<uint8_t> geometry(256, 0);
  if (const auto bytes = handle.Query(DiskQuery::DriveGeometryEx, geometry)) {
    if (const auto facts = ParseDriveGeometryEx(Returned(geometry, *bytes))) {
      disk.sizeBytes = facts->diskSize;
      disk.bytesPerSector = facts->bytesPerSector;
    }
  }

  disk.mediaType = DetermineMediaKind(disk.busType, removable, [&]() -> std::optional<bool> {
    std::vector<uint8_t> penalty(kSeekPenaltyBytes, 0);
    const auto bytes = handle.Query(DiskQuery::SeekPenalty, penalty);
    if (!bytes) return std::nullopt;
    return ParseSeekPenalty(Returned(penalty, *bytes));
  });
  return disk;
}

std::optional<DiskInfo> ReadPhysicalDisk(DiskSystemQueries& system, int32_t diskNumber) {
  const std::unique_ptr<DiskQueryHandle> handle = system.OpenPhysicalDisk(diskNumber);
  if (!handle) return std::nullopt;
  DiskInfo disk = ReadDiskFacts(system, *handle, diskNumber);
  if (disk.sizeBytes == 0) return std::nullopt;
  return disk;
}

std::vector<DiskInfo> ReadDisksByInterface(DiskSystemQueries& system) {
  std::vector<DiskInfo> disks;
  const auto paths = system.DiskInterfacePaths();
  if (!paths) return disks;
  for (const std::wstring& path : *paths) {
    const std::unique_ptr<DiskQueryHandle> handle = system.OpenDiskInterface(path);
    if (!handle) continue;
    const auto number = QueryDeviceNumber(*handle);
    if (!number) continue;
    const bool known = std::any_of(disks.begin(), disks.end(),
                                   [&](const DiskInfo& d) { return d.diskNumber == *number; });
    if (known) continue;
    DiskInfo disk = ReadDiskFacts(system, *handle, *number);
    if (disk.sizeBytes == 0) continue;
    disk.interfacePath = path;
    disks.push_back(std::move(disk));
  }
  std::sort(disks.begin(), disks.end(),
            [](const DiskInfo& a, const DiskInfo& b) { return a.diskNumber < b.diskNumber; });
  return disks;
}

ClassificationContext ReadClassificationContext(DiskSystemQueries& system, int32_t environmentMode,
                                                int32_t unlockInternal) {
  ClassificationContext context;
  context.environmentMode = environmentMode;
  context.unlockInternal = unlockInternal;
  context.systemDiskNumber = FindSystemDiskNumberWith(system);
  context.protections = FindProtectedDisksWith(system, environmentMode);
  return context;
}

std::vector<DiskInfo> EnumeratePhysicalDisksWith(DiskSystemQueries& system, int32_t environmentMode,
                                                 int32_t unlockInternal) {
  const ClassificationContext context =
      ReadClassificationContext(system, environmentMode, unlockInternal);
  std::vector<DiskInfo> disks = ReadDisksByInterface(system);
  // Numbers are also tried one by one: a driver may expose a disk without the disk interface.
  for (int32_t n = 0; n < kMaxPhysicalDisks; ++n) {
    const bool known = std::any_of(disks.begin(), disks.end(),
                                   [n](const DiskInfo& d) { return d.diskNumber == n; });
    if (known) continue;
    if (auto disk = ReadPhysicalDisk(system, n)) disks.push_back(std::move(*disk));
  }
  std::sort(disks.begin(), disks.end(),
            [](const DiskInfo& a, const DiskInfo& b) { return a.diskNumber < b.diskNumber; });
  AssignDriveLettersWith(system, disks);
  ClassifyDisks(disks, context);
  return disks;
}

}  // namespace tvde
