#pragma once
// Pure helpers of the POSIX volume checks: the mount table (/proc/self/mountinfo), the swap
// areas (/proc/swaps) and the layers of an overlay mount. Portable, so both builds test them.

#include <cstdint>
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
  std::string root;        // the folder of the file system mounted there ("/" for all of it)
  std::string type;        // "ext4", "overlay"
  std::string options;     // the file system's own options, as the kernel writes them
};

// Parses mountinfo lines ("id parent major:minor root mountpoint options [optional...] -
// fstype source superoptions"); malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The file or device names of /proc/swaps (the header line skipped, escapes decoded).
std::vector<std::string> ParseSwapAreas(std::string_view text);

// "major:minor" as in sysfs "dev" files and mountinfo; nothing when malformed.
std::optional<DeviceNumber> ParseDeviceNumber(std::string_view text);

// The folders an overlay mount is made of, upper layer first, then the lower ones; empty for
// any other mount.
std::vector<std::string> OverlayLayers(const MountEntry& mount);

}  // namespace tvde
