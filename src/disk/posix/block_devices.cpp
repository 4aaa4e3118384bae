// Block devices from a sysfs tree and a snapshot of mounts, swap areas and loop devices: what
// a device is, what is built on it and what uses it.
#include "disk/posix/block_devices.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "base/text.h"
#include "disk/disk_classification.h"

namespace tvde {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxDepth = 8;  // stacked devices and loop backings nest at most this deep

std::string ReadRaw(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

std::string Attribute(const fs::path& file) {
  return Trimmed(ReadRaw(file));
}

int Flag(const fs::path& file) {
  const std::string text = Attribute(file);
  return text == "0" ? 0 : text == "1" ? 1 : -1;
}

uint64_t Number(const fs::path& file) {
  const std::string text = Attribute(file);
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
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
  return ParseDeviceNumber(ReadRaw(dir / "dev"));
}

fs::path DirOf(const BlockSystem& system, DeviceNumber device) {
  std::error_code error;
  const fs::path dir =
      fs::canonical(system.sysfs / "dev" / "block" /
                        (std::to_string(device.major) + ":" + std::to_string(device.minor)),
                    error);
  return error ? fs::path() : dir;
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

bool IsPartition(const fs::path& dir) {
  return Exists(dir / "partition");
}

// A loop device with a file (or device) behind it.
bool IsAttachedLoop(const fs::path& dir) {
  return Name(dir).rfind("loop", 0) == 0 && Exists(dir / "loop" / "backing_file");
}

fs::path WholeDiskOf(const fs::path& dir) {
  return IsPartition(dir) ? dir.parent_path() : dir;
}

// The devices a "holders" or "slaves" folder links to.
std::vector<fs::path> Linked(const fs::path& dir, const char* folder) {
  std::vector<fs::path> linked;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir / folder, error)) {
    const fs::path target = fs::canonical(entry.path(), error);
    if (!error) linked.push_back(target);
  }
  return linked;
}

std::vector<fs::path> Partitions(const fs::path& disk) {
  std::vector<fs::path> partitions;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(disk, error)) {
    if (IsPartition(entry.path())) partitions.push_back(entry.path());
  }
  return partitions;
}

// The device and everything built on it: its partitions (of a whole disk) and, one level over
// the other, every device that holds one of them.
std::vector<DeviceNumber> DevicesAbove(const fs::path& dir) {
  std::vector<fs::path> pending{dir};
  if (!IsPartition(dir)) {
    for (const fs::path& partition : Partitions(dir))
      pending.push_back(partition);
  }
  std::vector<DeviceNumber> devices;
  for (size_t i = 0; i < pending.size() && i < 256; ++i) {
    const auto number = NumberOf(pending[i]);
    if (!number || std::find(devices.begin(), devices.end(), *number) != devices.end()) continue;
    devices.push_back(*number);
    for (const fs::path& holder : Linked(pending[i], "holders"))
      pending.push_back(holder);
  }
  return devices;
}

// The whole disks a device lives on: its own disk, or for a stacked device those of the
// devices it is built from.
void DisksBelow(const fs::path& dir, std::set<fs::path>& disks, int depth = 0) {
  const std::vector<fs::path> slaves = Linked(dir, "slaves");
  if (slaves.empty() || depth >= kMaxDepth) {
    disks.insert(WholeDiskOf(dir));
    return;
  }
  for (const fs::path& slave : slaves)
    DisksBelow(slave, disks, depth + 1);
}

// One use of a block device: a mounted file system or a swap area.
struct Use {
  DeviceNumber device;
  std::string where;  // the mount point, or "[SWAP]"
  bool system = false;
};

bool IsSystemMountPoint(const std::string& point) {
  return point == "/" || point == "/boot" || point == "/boot/efi" || point == "/usr";
}

class Snapshot {
 public:
  explicit Snapshot(const BlockSystem& system) : system_(system) {
    for (const MountEntry& mount : system.mounts) {
      std::vector<DeviceNumber> devices;
      if (mount.device.major != 0) devices.push_back(mount.device);
      // File systems with an anonymous device number (btrfs) are found by their source.
      if (const auto node = LookUp(mount.source); node && node->blockDevice) {
        devices.push_back(*node->blockDevice);
      }
      for (const DeviceNumber& device : devices) {
        uses_.push_back({device, mount.mountPoint, IsSystemMountPoint(mount.mountPoint)});
      }
    }
    for (const std::string& area : system.swapAreas) {
      const auto node = LookUp(area);
      if (node && node->blockDevice) uses_.push_back({*node->blockDevice, "[SWAP]", false});
      if (node && !node->blockDevice) swapFiles_.push_back(node->file);
    }
    if (system.rootFileSystem) uses_.push_back({*system.rootFileSystem, "/", true});
    for (const Use& use : uses_) {
      const fs::path dir = use.system ? DirOf(system, use.device) : fs::path();
      if (!dir.empty()) DisksBelow(dir, systemDisks_);
    }
  }

  std::optional<NodeFacts> LookUp(const std::string& path) const {
    if (path.empty() || path[0] != '/' || !system_.lookUp) return std::nullopt;
    return system_.lookUp(path);
  }

  std::vector<std::string> UsesOf(const std::vector<DeviceNumber>& devices) const {
    std::vector<std::string> places;
    for (const Use& use : uses_) {
      const bool on = std::find(devices.begin(), devices.end(), use.device) != devices.end();
      if (on && std::find(places.begin(), places.end(), use.where) == places.end()) {
        places.push_back(use.where);
      }
    }
    return places;
  }

  bool IsSwapFile(const FileIdentity& file) const {
    return std::find(swapFiles_.begin(), swapFiles_.end(), file) != swapFiles_.end();
  }

  // Attached loop devices and their backing files (nothing when it cannot be told).
  std::vector<std::pair<std::string, std::optional<NodeFacts>>> Loops() const {
    std::vector<std::pair<std::string, std::optional<NodeFacts>>> loops;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(system_.sysfs / "block", error)) {
      if (!IsAttachedLoop(entry.path())) continue;
      const std::string name = Name(entry.path());
      loops.emplace_back(name, system_.loopBacking ? system_.loopBacking(name) : std::nullopt);
    }
    std::sort(loops.begin(), loops.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return loops;
  }

  // Why writing to the device would destroy something in use; empty when nothing.
  std::string InUse(const fs::path& dir, int depth = 0) const {
    std::set<fs::path> disks;
    DisksBelow(dir, disks);
    for (const fs::path& disk : disks) {
      if (systemDisks_.count(disk) != 0) return kReasonOnSystemDisk;
    }
    const std::vector<std::string> places = UsesOf(DevicesAbove(dir));
    if (!places.empty()) {
      return places[0] == "[SWAP]" ? "it is in use (used as swap)"
                                   : "it is in use (mounted at " + places[0] + ")";
    }
    std::vector<fs::path> dirs{dir};
    if (!IsPartition(dir)) {
      for (const fs::path& partition : Partitions(dir))
        dirs.push_back(partition);
    }
    for (const fs::path& each : dirs) {
      for (const fs::path& holder : Linked(each, "holders")) {
        return "it is in use (held by " + Name(holder) + ")";
      }
    }
    const fs::path disk = WholeDiskOf(dir);
    return IsAttachedLoop(disk) ? LoopInUse(Name(disk), depth) : std::string();
  }

 private:
  std::string LoopInUse(const std::string& name, int depth) const {
    const auto loops = Loops();
    const auto self = std::find_if(loops.begin(), loops.end(),
                                   [&name](const auto& loop) { return loop.first == name; });
    if (self == loops.end() || !self->second) return "its backing file cannot be checked";
    const NodeFacts& backing = *self->second;
    for (const auto& [other, facts] : loops) {
      if (other != name && facts && facts->file == backing.file) {
        return "its backing file is also attached to /dev/" + other;
      }
    }
    if (IsSwapFile(backing.file)) return "its backing file is used as swap";
    if (backing.blockDevice) {
      const fs::path below = DirOf(system_, *backing.blockDevice);
      if (below.empty()) return "its backing device cannot be checked";
      if (depth >= kMaxDepth) return "its backing devices nest too deep";
      const std::string reason = InUse(below, depth + 1);
      if (!reason.empty()) return "its backing device " + DevicePathOf(below) + ": " + reason;
    }
    return {};
  }

  const BlockSystem& system_;
  std::vector<Use> uses_;
  std::vector<FileIdentity> swapFiles_;
  std::set<fs::path> systemDisks_;
};

std::optional<DiskInfo> Describe(const Snapshot& snapshot, const fs::path& dir) {
  const auto number = NumberOf(dir);
  if (dir.empty() || !number) return std::nullopt;
  const fs::path whole = WholeDiskOf(dir);
  BlockDiskFacts facts;
  facts.kernelName = Name(whole);
  facts.sysfsPath = whole.string();
  facts.vendor = Attribute(whole / "device" / "vendor");
  facts.model = Attribute(whole / "device" / "model");
  if (facts.model.empty()) facts.model = Attribute(whole / "device" / "name");  // MMC, SD
  facts.serial = Attribute(whole / "device" / "serial");
  if (facts.serial.empty()) facts.serial = Attribute(whole / "serial");  // virtio
  facts.rotational = Flag(whole / "queue" / "rotational");
  facts.removable = Flag(whole / "removable");

  DiskInfo disk;
  disk.diskNumber = -1;
  disk.devicePath = Utf8ToWide(DevicePathOf(dir));
  DescribeBlockDisk(facts, disk);
  disk.sizeBytes = Number(dir / "size") * 512;  // sysfs counts 512-byte units
  const uint64_t sector = Number(whole / "queue" / "logical_block_size");
  disk.bytesPerSector = sector >= 512 && sector <= 65536 ? static_cast<uint32_t>(sector) : 512;

  std::wstring places;
  for (const std::string& place : snapshot.UsesOf(DevicesAbove(dir))) {
    places += (places.empty() ? L"" : L", ") + Utf8ToWide(place);
  }
  disk.driveLetters = places.empty() ? std::wstring(kNoDriveLetters) : places;
  const std::string reason = snapshot.InUse(dir);
  if (reason == kReasonOnSystemDisk) {
    disk.safetyStatus = SafetyStatus::ProtectedSystemDisk;
  } else {
    disk.safetyStatus = reason.empty() ? SafetyStatus::Erasable : SafetyStatus::LockedInternal;
  }
  disk.safetyReason = Utf8ToWide(reason.empty() ? kReasonNotInUse : reason);
  return disk;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

}  // namespace

std::optional<DiskInfo> DescribeBlockDevice(const BlockSystem& system, DeviceNumber device) {
  const Snapshot snapshot(system);
  return Describe(snapshot, DirOf(system, device));
}

std::string RegularFileInUse(const BlockSystem& system, const FileIdentity& file) {
  const Snapshot snapshot(system);
  for (const auto& [name, backing] : snapshot.Loops()) {
    if (backing && backing->file == file) return "it is attached to the loop device /dev/" + name;
  }
  if (snapshot.IsSwapFile(file)) return "it is used as swap";
  return {};
}

std::vector<DiskInfo> ListBlockDisks(const BlockSystem& system) {
  const Snapshot snapshot(system);
  std::vector<fs::path> dirs;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(system.sysfs / "block", error)) {
    const std::string name = Name(entry.path());
    const bool loop = StartsWith(name, "loop");
    // RAM disks hold nothing, a loop device without a file is no disk yet, and a device built
    // on others (device mapper, software RAID) is shown through the disks it is built on.
    if (StartsWith(name, "ram") || StartsWith(name, "zram") ||
        (loop && !IsAttachedLoop(entry.path())) || !Linked(entry.path(), "slaves").empty()) {
      continue;
    }
    dirs.push_back(fs::canonical(entry.path(), error));
  }
  std::sort(dirs.begin(), dirs.end(),
            [](const fs::path& a, const fs::path& b) { return Name(a) < Name(b); });
  std::vector<DiskInfo> disks;
  for (const fs::path& dir : dirs) {
    auto disk = Describe(snapshot, dir);
    if (disk && disk->sizeBytes != 0) disks.push_back(std::move(*disk));
  }
  return disks;
}

}  // namespace tvde
