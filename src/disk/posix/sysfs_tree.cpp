// Reading sysfs attributes and links with plain error codes.
#include "disk/posix/sysfs_tree.h"

#include <system_error>

#include "base/file_system.h"
#include "disk/mount_table.h"

namespace tvde {
namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxAttributeBytes = size_t{64} * 1024;

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

}  // namespace

std::string RawAttribute(const fs::path& file) {
  std::string text;
  ReadKernelFile(file.string(), kMaxAttributeBytes, text);
  return text;
}

std::string Attribute(const fs::path& file) {
  const std::string text = RawAttribute(file);
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

int Flag(const fs::path& file) {
  const std::string text = Attribute(file);
  return text == "0" ? 0 : text == "1" ? 1 : -1;
}

std::optional<uint64_t> Number(const fs::path& file) {
  const std::string text = Attribute(file);
  if (text.empty() || text.size() > 19) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

std::string Name(const fs::path& dir) {
  return dir.filename().string();
}

std::string DevicePathOf(const fs::path& dir) {
  return "/dev/" + Name(dir);
}

std::optional<DeviceNumber> NumberOf(const fs::path& dir) {
  return ParseDeviceNumber(RawAttribute(dir / "dev"));
}

fs::path DirOf(const fs::path& sysfs, DeviceNumber device) {
  std::error_code error;
  const fs::path dir = fs::canonical(
      sysfs / "dev" / "block" / (std::to_string(device.major) + ":" + std::to_string(device.minor)),
      error);
  return error ? fs::path() : dir;
}

bool IsPartition(const fs::path& dir) {
  return Exists(dir / "partition");
}

bool IsAttachedLoop(const fs::path& dir) {
  return Name(dir).rfind("loop", 0) == 0 && Exists(dir / "loop" / "backing_file");
}

fs::path WholeDiskOf(const fs::path& dir) {
  return IsPartition(dir) ? dir.parent_path() : dir;
}

std::vector<fs::path> Entries(const fs::path& dir) {
  std::vector<fs::path> entries;
  std::error_code error;
  // Stepped with error codes: the range-for's step throws when a folder vanishes under it.
  for (fs::directory_iterator it(dir, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    entries.push_back(it->path());
  }
  return entries;
}

std::vector<fs::path> Linked(const fs::path& dir, const char* folder) {
  std::vector<fs::path> linked;
  for (const fs::path& entry : Entries(dir / folder)) {
    std::error_code error;
    const fs::path target = fs::canonical(entry, error);
    if (!error) linked.push_back(target);
  }
  return linked;
}

std::vector<fs::path> Partitions(const fs::path& disk) {
  std::vector<fs::path> partitions;
  for (const fs::path& entry : Entries(disk)) {
    if (IsPartition(entry)) partitions.push_back(entry);
  }
  return partitions;
}

}  // namespace tvde
