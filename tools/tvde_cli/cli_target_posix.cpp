// POSIX targets: image files (checked against loop devices attached to them), and block
// devices checked against everything that uses them (mounts, swap, stacked devices, the disk
// of the running system) through /proc and /sys.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

#include "cli_target.h"

namespace tvde::cli {
namespace {

namespace fs = std::filesystem;

std::string DevName(dev_t dev) {
  return std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
}

fs::path SysfsDir(dev_t dev) {
  return fs::path("/sys/dev/block") / DevName(dev);
}

bool ParseDevNumber(const std::string& text, dev_t& dev) {
  unsigned maj = 0;
  unsigned min = 0;
  char colon = 0;
  std::istringstream in(text);
  if (!(in >> maj >> colon >> min) || colon != ':') return false;
  dev = makedev(maj, min);
  return true;
}

bool ReadDevFile(const fs::path& file, dev_t& dev) {
  std::ifstream in(file);
  std::string text;
  return std::getline(in, text) && ParseDevNumber(text, dev);
}

// The disk a partition belongs to; a whole disk is its own.
dev_t WholeDisk(dev_t dev) {
  std::error_code ec;
  if (!fs::exists(SysfsDir(dev) / "partition", ec)) return dev;
  const fs::path real = fs::canonical(SysfsDir(dev), ec);
  dev_t parent = dev;
  if (!ec && ReadDevFile(real.parent_path() / "dev", parent)) return parent;
  return dev;
}

// The physical devices under a stacked one (device mapper, software RAID), or itself.
void CollectBases(dev_t dev, std::set<dev_t>& bases, int depth = 0) {
  std::error_code ec;
  bool stacked = false;
  if (depth < 8) {
    for (const auto& slave : fs::directory_iterator(SysfsDir(dev) / "slaves", ec)) {
      dev_t lower = 0;
      if (ReadDevFile(fs::path("/sys/class/block") / slave.path().filename() / "dev", lower)) {
        stacked = true;
        CollectBases(lower, bases, depth + 1);
      }
    }
  }
  if (!stacked) bases.insert(dev);
}

bool Overlaps(dev_t used, dev_t target) {
  return used == target || WholeDisk(used) == target || WholeDisk(target) == used;
}

bool BlockDeviceOf(const std::string& path, dev_t& dev) {
  struct stat st {};
  if (path.empty() || path[0] != '/' || stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) {
    return false;
  }
  dev = st.st_rdev;
  return true;
}

// mountinfo escapes blanks in paths as \040 and the like.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto octal = [&text](size_t at) { return text[at] >= '0' && text[at] <= '7'; };
    if (text[i] == '\\' && i + 3 < text.size() && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
      out.push_back(static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                      (text[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

struct Use {
  dev_t dev;
  std::string what;
};

// Every block device a mounted file system or a swap area lives on.
std::vector<Use> DevicesInUse(std::set<dev_t>& systemDisks) {
  std::vector<Use> uses;
  std::ifstream mountinfo("/proc/self/mountinfo");
  std::string line;
  while (std::getline(mountinfo, line)) {
    std::istringstream in(line);
    std::string id, parent, devText, root, mountPoint, field;
    in >> id >> parent >> devText >> root >> mountPoint;
    while (in >> field && field != "-") {
    }
    std::string fsType, source;
    in >> fsType >> source;
    mountPoint = Unescape(mountPoint);
    std::set<dev_t> devices;
    dev_t dev = 0;
    if (ParseDevNumber(devText, dev) && major(dev) != 0) devices.insert(dev);
    if (BlockDeviceOf(Unescape(source), dev)) devices.insert(dev);
    const bool system = mountPoint == "/" || mountPoint == "/boot" || mountPoint == "/boot/efi" ||
                        mountPoint == "/usr";
    for (dev_t d : devices) {
      std::set<dev_t> bases;
      CollectBases(d, bases);
      for (dev_t base : bases) {
        uses.push_back({base, "mounted at " + mountPoint});
        if (system) systemDisks.insert(WholeDisk(base));
      }
    }
  }
  std::ifstream swaps("/proc/swaps");
  std::getline(swaps, line);  // header
  while (std::getline(swaps, line)) {
    std::istringstream in(line);
    std::string path;
    in >> path;
    dev_t dev = 0;
    if (BlockDeviceOf(Unescape(path), dev)) {
      std::set<dev_t> bases;
      CollectBases(dev, bases);
      for (dev_t base : bases)
        uses.push_back({base, "used as swap"});
    }
  }
  return uses;
}

std::string InUseReason(dev_t target) {
  std::set<dev_t> systemDisks;
  struct stat root {};
  if (stat("/", &root) == 0 && major(root.st_dev) != 0) {
    std::set<dev_t> bases;
    CollectBases(root.st_dev, bases);
    for (dev_t base : bases)
      systemDisks.insert(WholeDisk(base));
  }
  const std::vector<Use> uses = DevicesInUse(systemDisks);
  if (systemDisks.count(WholeDisk(target)) != 0) return "it is on the disk of the running system";
  for (const Use& use : uses) {
    if (Overlaps(use.dev, target)) return "it is in use (" + use.what + ")";
  }
  // Devices stacked on the target or on one of its partitions.
  std::vector<fs::path> dirs{SysfsDir(target)};
  std::error_code ec;
  if (WholeDisk(target) == target) {
    for (const auto& entry : fs::directory_iterator(SysfsDir(target), ec)) {
      if (fs::exists(entry.path() / "partition", ec)) dirs.push_back(entry.path());
    }
  }
  for (const fs::path& dir : dirs) {
    for (const auto& holder : fs::directory_iterator(dir / "holders", ec)) {
      return "it is in use (held by " + holder.path().filename().string() + ")";
    }
  }
  return {};
}

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

int ReadFlag(const fs::path& file) {
  const std::string line = FirstLine(file);
  if (line == "0") return 0;
  if (line == "1") return 1;
  return -1;
}

void DescribeFromSysfs(dev_t dev, TargetInfo& info) {
  std::error_code ec;
  const fs::path disk = fs::canonical(SysfsDir(WholeDisk(dev)), ec);
  if (ec) return;
  BlockDiskFacts facts;
  facts.kernelName = disk.filename().string();
  facts.sysfsPath = disk.string();
  const fs::path device = disk / "device";
  facts.vendor = FirstLine(device / "vendor");
  facts.model = FirstLine(device / "model");
  if (facts.model.empty()) facts.model = FirstLine(device / "name");  // MMC and SD cards
  facts.serial = FirstLine(device / "serial");
  if (facts.serial.empty()) facts.serial = FirstLine(disk / "serial");  // virtio
  facts.rotational = ReadFlag(disk / "queue" / "rotational");
  facts.removable = ReadFlag(disk / "removable");
  DescribeBlockDisk(facts, info);
}

// A loop device reading and writing this very file: overwriting the file under it would
// destroy whatever the loop device holds, possibly a mounted file system.
std::string AttachedLoopDevice(const struct stat& file) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/block", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("loop", 0) != 0) continue;
    std::string backing = FirstLine(entry.path() / "loop" / "backing_file");
    if (backing.empty()) continue;
    struct stat st {};
    if (stat(backing.c_str(), &st) == 0 && st.st_dev == file.st_dev && st.st_ino == file.st_ino) {
      return "/dev/" + name;
    }
  }
  return {};
}

}  // namespace

TargetInfo InspectTarget(const std::string& path) {
  TargetInfo info;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    info.kind = errno == ENOENT ? TargetKind::Missing : TargetKind::Other;
    return info;
  }
  if (S_ISREG(st.st_mode)) {
    info.kind = TargetKind::RegularFile;
    info.sizeBytes = static_cast<uint64_t>(st.st_size);
    const std::string loop = AttachedLoopDevice(st);
    if (!loop.empty()) info.inUse = "it is attached to the loop device " + loop;
    return info;
  }
  if (!S_ISBLK(st.st_mode)) {
    info.kind = TargetKind::Other;
    return info;
  }
  info.kind = TargetKind::BlockDevice;
  // Size and sector size come from sysfs, so that looking at a device never opens it.
  const fs::path sysfs = SysfsDir(st.st_rdev);
  uint64_t sectors = 0;
  if (std::ifstream(sysfs / "size") >> sectors) info.sizeBytes = sectors * 512;
  const fs::path queue = WholeDisk(st.st_rdev) == st.st_rdev
                             ? sysfs / "queue"
                             : SysfsDir(WholeDisk(st.st_rdev)) / "queue";
  uint32_t logical = 0;
  if (std::ifstream(queue / "logical_block_size") >> logical) info.logicalSectorSize = logical;
  info.inUse = InUseReason(st.st_rdev);
  DescribeFromSysfs(st.st_rdev, info);
  return info;
}

bool BlockDevicesSupported() {
  return true;
}

}  // namespace tvde::cli
