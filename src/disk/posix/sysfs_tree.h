#pragma once
// Reading a sysfs tree (the system's /sys, or a test's): attributes, device numbers, partitions,
// holders and slaves. A device that goes away while it is read gives empty answers.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/device.h"

namespace tvde {

// The attribute's text without surrounding blanks and line ends; empty when it cannot be read.
std::string Attribute(const std::filesystem::path& file);
// The raw text of an attribute (only its read length bounded).
std::string RawAttribute(const std::filesystem::path& file);
// "0" or "1"; -1 otherwise.
int Flag(const std::filesystem::path& file);
// A decimal number; nothing when the attribute cannot be read or is no number.
std::optional<uint64_t> Number(const std::filesystem::path& file);

// The kernel name of a device folder ("sdb1") and its node ("/dev/sdb1").
std::string Name(const std::filesystem::path& dir);
std::string DevicePathOf(const std::filesystem::path& dir);
// The device number its "dev" attribute gives.
std::optional<DeviceNumber> NumberOf(const std::filesystem::path& dir);
// The canonical folder of a device number under sysfs/dev/block; empty when there is none.
std::filesystem::path DirOf(const std::filesystem::path& sysfs, DeviceNumber device);

bool IsPartition(const std::filesystem::path& dir);
// A loop device with a file (or device) behind it.
bool IsAttachedLoop(const std::filesystem::path& dir);
std::filesystem::path WholeDiskOf(const std::filesystem::path& dir);
// The entries of a folder; none when it cannot be read (also when it vanishes meanwhile).
std::vector<std::filesystem::path> Entries(const std::filesystem::path& dir);
// The devices a "holders" or "slaves" folder links to.
std::vector<std::filesystem::path> Linked(const std::filesystem::path& dir, const char* folder);
std::vector<std::filesystem::path> Partitions(const std::filesystem::path& disk);

}  // namespace tvde
