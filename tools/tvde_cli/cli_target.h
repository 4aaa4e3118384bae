#pragma once
// What a command-line target is, and whether the tool may write to it.

#include <cstdint>
#include <filesystem>
#include <string>

namespace tvde::cli {

enum class TargetKind { Missing, RegularFile, BlockDevice, Other };

struct TargetInfo {
  TargetKind kind = TargetKind::Missing;
  uint64_t sizeBytes = 0;
  uint32_t logicalSectorSize = 0;  // block devices only
  // Block devices only: why writing to it would hit something in use (a mounted file system,
  // swap, a device stacked on it, the disk of the running system). Empty when none was found.
  std::string inUse;
};

// Looks at the path (following symbolic links); never opens a device.
TargetInfo InspectTarget(const std::string& path);

// Whether this build can write to block devices at all.
bool BlockDevicesSupported();

// The path as the file system library takes it (UTF-8 in, native form out).
std::filesystem::path FsPath(const std::string& utf8);

// Creates the regular file if it is missing and extends it with zeros to at least
// `minimumLength` bytes; existing content is kept.
bool EnsureImageFile(const std::string& path, uint64_t minimumLength, std::string& error);

}  // namespace tvde::cli
