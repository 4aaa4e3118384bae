#pragma once
// Pure helpers of the POSIX volume checks: the mount table (/proc/self/mountinfo), the swap
// areas (/proc/swaps) and which mounts live on a given set of block devices. Portable, so
// both builds test them.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/device.h"

namespace tvde {

struct MountEntry {
  DeviceNumber device;     // st_dev of the mounted file system
  std::string mountPoint;  // octal escapes (\040 and the like) decoded
  std::string source;      // e.g. "/dev/sdb1"
};

// Parses mountinfo lines ("id parent major:minor root mountpoint options [optional...] -
// fstype source superoptions"); malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The file or device names of /proc/swaps (the header line skipped, escapes decoded).
std::vector<std::string> ParseSwapAreas(std::string_view text);

// "major:minor" as in sysfs "dev" files and mountinfo; nothing when malformed.
std::optional<DeviceNumber> ParseDeviceNumber(std::string_view text);

// Entries mounted from one of `devices`, by device number or, for file systems that report an
// anonymous device number (btrfs), by the block device their source names.
using SourceResolver = std::function<std::optional<DeviceNumber>(const std::string& source)>;
std::vector<MountEntry> MountsOnDevices(const std::vector<MountEntry>& mounts,
                                        const std::vector<DeviceNumber>& devices,
                                        const SourceResolver& resolveSource);

}  // namespace tvde
