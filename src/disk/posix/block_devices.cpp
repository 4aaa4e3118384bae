// Block devices from a sysfs tree and a snapshot of mounts, swap areas and loop devices: what
// a device is, what is built on it and what uses it.
#include "disk/posix/block_devices.h"

#include <algorithm>
#include <set>
#include <system_error>

#include "base/text.h"
#include "disk/disk_classification.h"
#include "disk/posix/attached_loops.h"
#include "disk/posix/sysfs_tree.h"

namespace tvde {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxDepth = 8;         // loop backings nest at most this deep
constexpr size_t kMaxStacked = 256;  // devices built on one device, all levels together

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

// A device standing on the judged one: the judged device and its partitions (base -1), or a
// device built on the entry `base` of the same stack.
struct Stacked {
  fs::path dir;
  DeviceNumber number;
  int base = -1;
};

class Snapshot {
 public:
  explicit Snapshot(const BlockSystem& system)
      : system_(system), loops_(ReadAttachedLoops(system)) {
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
      const fs::path dir = use.system ? DirOf(system.sysfs, use.device) : fs::path();
      if (!dir.empty()) DisksBelow(dir, systemDisks_);
    }
  }

  const std::vector<AttachedLoop>& Loops() const { return loops_; }

  std::optional<NodeFacts> LookUp(const std::string& path) const {
    if (path.empty() || path[0] != '/' || !system_.lookUp) return std::nullopt;
    return system_.lookUp(path);
  }

  std::vector<std::string> UsesOf(const std::vector<Stacked>& stack) const {
    std::vector<std::string> places;
    for (const Stacked& device : stack) {
      for (const std::string& place : UsesOf(device.number)) {
        if (std::find(places.begin(), places.end(), place) == places.end()) places.push_back(place);
      }
    }
    return places;
  }

  bool IsSwapFile(const FileIdentity& file) const {
    return std::find(swapFiles_.begin(), swapFiles_.end(), file) != swapFiles_.end();
  }

  // The device, its partitions, and everything built on any of them: the devices holding
  // them and the loop devices bound to them, with their own partitions, level by level.
  std::vector<Stacked> StackOn(const fs::path& dir) const {
    std::vector<Stacked> stack;
    Add(stack, dir, -1);
    for (size_t i = 0; i < stack.size(); ++i) {
      const int base = static_cast<int>(i);
      for (const fs::path& holder : Linked(stack[i].dir, "holders"))
        Add(stack, holder, base);
      for (const AttachedLoop& loop : loops_) {
        if (loop.backing && loop.backing->blockDevice == stack[i].number)
          Add(stack, loop.dir, base);
      }
    }
    return stack;
  }

  // Why writing to the device would destroy something in use; empty when nothing. `own` are
  // the judged device and its partitions, which its own exclusive open answers for.
  std::string InUse(const fs::path& dir, const std::vector<DeviceNumber>& own,
                    int depth = 0) const {
    std::set<fs::path> disks;
    DisksBelow(dir, disks);
    for (const fs::path& disk : disks) {
      if (systemDisks_.count(disk) != 0) return kReasonOnSystemDisk;
    }
    const std::vector<Stacked> stack = StackOn(dir);
    for (const Stacked& device : stack) {
      const std::vector<std::string> places = UsesOf(device.number);
      if (places.empty()) continue;
      const std::string use =
          places[0] == "[SWAP]" ? std::string("used as swap") : "mounted at " + places[0];
      return InUseBy(stack, device, use);
    }
    for (const Stacked& device : stack) {
      const std::vector<fs::path> holders = Linked(device.dir, "holders");
      if (!holders.empty()) return InUseBy(stack, device, "held by " + Name(holders[0]));
    }
    for (const Stacked& device : stack) {
      const bool ours = std::find(own.begin(), own.end(), device.number) != own.end();
      if (ours || device.base < 0 || IsPartition(device.dir) || !system_.heldBy) continue;
      const std::string held = system_.heldBy(Name(device.dir), device.number);
      if (!held.empty()) return InUseBy(stack, device, held);
    }
    const fs::path disk = WholeDiskOf(dir);
    return IsAttachedLoop(disk) ? LoopInUse(Name(disk), own, depth) : std::string();
  }

 private:
  // A device once, with its partitions built on it (those of the judged device are its own).
  static void Add(std::vector<Stacked>& stack, const fs::path& dir, int base) {
    const auto number = NumberOf(dir);
    if (!number || stack.size() >= kMaxStacked) return;
    for (const Stacked& known : stack) {
      if (known.number == *number) return;
    }
    stack.push_back({dir, *number, base});
    if (IsPartition(dir)) return;
    const int whole = static_cast<int>(stack.size()) - 1;
    for (const fs::path& partition : Partitions(dir))
      Add(stack, partition, base < 0 ? -1 : whole);
  }

  std::vector<std::string> UsesOf(DeviceNumber device) const {
    std::vector<std::string> places;
    for (const Use& use : uses_) {
      if (use.device == device) places.push_back(use.where);
    }
    return places;
  }

  // "it is in use (mounted at /mnt)" for the device or a partition of it; for a device built
  // on it the chain: "it is in use: /dev/loop1 (mounted at /mnt) is built on /dev/loop0".
  static std::string InUseBy(const std::vector<Stacked>& stack, const Stacked& device,
                             const std::string& use) {
    if (device.base < 0) return "it is in use (" + use + ")";
    std::string text = "it is in use: " + DevicePathOf(device.dir) + " (" + use + ")";
    for (int base = device.base; base >= 0; base = stack[static_cast<size_t>(base)].base) {
      text += base == device.base ? " is built on " : ", which is built on ";
      text += DevicePathOf(stack[static_cast<size_t>(base)].dir);
    }
    return text;
  }

  std::string LoopInUse(const std::string& name, const std::vector<DeviceNumber>& own,
                        int depth) const {
    const auto self = std::find_if(loops_.begin(), loops_.end(),
                                   [&name](const AttachedLoop& loop) { return loop.name == name; });
    if (self == loops_.end() || !self->backing) return "its backing file cannot be checked";
    for (const AttachedLoop& other : loops_) {
      if (other.name != name && ShareAFile(*self, other)) {
        return "its backing file is also attached to /dev/" + other.name;
      }
    }
    for (const FileIdentity& file : self->files) {
      if (IsSwapFile(file)) return "its backing file is used as swap";
    }
    if (self->backing->blockDevice) {
      const fs::path below = DirOf(system_.sysfs, *self->backing->blockDevice);
      if (below.empty()) return "its backing device cannot be checked";
      if (depth >= kMaxDepth) return "its backing devices nest too deep";
      const std::string reason = InUse(below, own, depth + 1);
      if (!reason.empty()) return "its backing device " + DevicePathOf(below) + ": " + reason;
    }
    return {};
  }

  const BlockSystem& system_;
  std::vector<AttachedLoop> loops_;
  std::vector<Use> uses_;
  std::vector<FileIdentity> swapFiles_;
  std::set<fs::path> systemDisks_;
};

// The judged device and its partitions.
std::vector<DeviceNumber> OwnDevices(const Snapshot& snapshot, const fs::path& dir) {
  std::vector<DeviceNumber> own;
  for (const Stacked& device : snapshot.StackOn(dir)) {
    if (device.base < 0) own.push_back(device.number);
  }
  return own;
}

// `unopened`: nobody of ours holds the device, so its own exclusive open is asked too (the
// list); a writer judges the device it holds open, which answers for itself.
std::optional<DiskInfo> Describe(const BlockSystem& system, const Snapshot& snapshot,
                                 const fs::path& dir, bool unopened) {
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
  disk.sizeBytes = Number(dir / "size").value_or(0) * 512;  // sysfs counts 512-byte units
  const uint64_t sector = Number(whole / "queue" / "logical_block_size").value_or(0);
  disk.bytesPerSector = sector >= 512 && sector <= 65536 ? static_cast<uint32_t>(sector) : 512;

  std::wstring places;
  for (const std::string& place : snapshot.UsesOf(snapshot.StackOn(dir))) {
    places += (places.empty() ? L"" : L", ") + Utf8ToWide(place);
  }
  disk.driveLetters = places.empty() ? std::wstring(kNoDriveLetters) : places;
  std::string reason = snapshot.InUse(dir, OwnDevices(snapshot, dir));
  if (reason.empty() && unopened && system.heldBy) {
    const std::string held = system.heldBy(Name(dir), *number);
    if (!held.empty()) reason = "it is in use (" + held + ")";
  }
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

std::string BlockDeviceInUse(const BlockSystem& system, DeviceNumber device) {
  const Snapshot snapshot(system);
  const fs::path dir = DirOf(system.sysfs, device);
  if (dir.empty()) return "the system does not describe it";
  return snapshot.InUse(dir, OwnDevices(snapshot, dir));
}

std::optional<DiskInfo> DescribeBlockDevice(const BlockSystem& system, DeviceNumber device) {
  const Snapshot snapshot(system);
  return Describe(system, snapshot, DirOf(system.sysfs, device), false);
}

std::string RegularFileInUse(const BlockSystem& system, const FileIdentity& file) {
  const Snapshot snapshot(system);
  for (const AttachedLoop& loop : snapshot.Loops()) {
    if (IsBackedBy(loop, file)) return "it is attached to the loop device /dev/" + loop.name;
  }
  if (snapshot.IsSwapFile(file)) return "it is used as swap";
  return {};
}

std::vector<DiskInfo> ListBlockDisks(const BlockSystem& system) {
  const Snapshot snapshot(system);
  std::vector<fs::path> dirs;
  for (const fs::path& entry : Entries(system.sysfs / "block")) {
    const std::string name = Name(entry);
    const bool loop = StartsWith(name, "loop");
    // RAM disks hold nothing, a loop device without a file is no disk yet, and a device built
    // on others (device mapper, software RAID) is shown through the disks it is built on.
    if (StartsWith(name, "ram") || StartsWith(name, "zram") || (loop && !IsAttachedLoop(entry)) ||
        !Linked(entry, "slaves").empty()) {
      continue;
    }
    std::error_code error;
    const fs::path dir = fs::canonical(entry, error);
    if (!error) dirs.push_back(dir);  // a device that went away meanwhile is not listed
  }
  std::sort(dirs.begin(), dirs.end(),
            [](const fs::path& a, const fs::path& b) { return Name(a) < Name(b); });
  std::vector<DiskInfo> disks;
  for (const fs::path& dir : dirs) {
    auto disk = Describe(system, snapshot, dir, true);
    if (disk && disk->sizeBytes != 0) disks.push_back(std::move(*disk));
  }
  return disks;
}

}  // namespace tvde
