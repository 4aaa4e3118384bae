#pragma once
// What a command-line target is, and whether the tool may write to it.

#include <cstdint>
#include <filesystem>
#include <string>

#include "disk/disk_info.h"

namespace tvde::cli {

enum class TargetKind { Missing, RegularFile, BlockDevice, Other };

struct TargetInfo {
  TargetKind kind = TargetKind::Missing;
  uint64_t sizeBytes = 0;
  uint32_t logicalSectorSize = 0;  // block devices; files on Windows (their volume's sectors)
  // Why writing to it would hit something in use: for block devices a mounted file system,
  // swap, a device stacked on it or the disk of the running system; for files a loop device
  // attached to them. Empty when none was found.
  std::string inUse;
  // Block devices only: what the system tells about the disk (empty or default when unknown).
  std::string model;
  std::string serial;
  MediaKind media = MediaKind::Standard;
  BusKind bus = BusKind::Unknown;
};

// Looks at the path (following symbolic links); never opens a device.
TargetInfo InspectTarget(const std::string& path);

// Whether this build can write to block devices at all.
bool BlockDevicesSupported();

// The facts a block device's kernel name and sysfs entries give about the disk behind it.
struct BlockDiskFacts {
  std::string kernelName;  // of the whole disk: "sda", "nvme0n1", "loop3", "mmcblk0"
  std::string sysfsPath;   // canonical sysfs path of the whole disk (shows the bus it hangs on)
  std::string vendor;
  std::string model;
  std::string serial;
  int rotational = -1;  // -1 unknown
  int removable = -1;
};

// Model, serial, bus and media kind for the disk record; pure so that it can be tested.
void DescribeBlockDisk(const BlockDiskFacts& facts, TargetInfo& info);

// The path as the file system library takes it (UTF-8 in, native form out).
std::filesystem::path FsPath(const std::string& utf8);

// The last component of a UTF-8 path, in UTF-8.
std::string FileNameOf(const std::string& utf8);

// Creates the regular file if it is missing and extends it with zeros to at least
// `minimumLength` bytes; existing content is kept.
bool EnsureImageFile(const std::string& path, uint64_t minimumLength, std::string& error);

}  // namespace tvde::cli
