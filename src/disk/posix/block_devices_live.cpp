// The running system's block-device snapshot: /proc/self/mountinfo, /proc/swaps, the device
// of "/", stat for names, the loop devices' own account of their backing files, and exclusive
// opens of the devices built on a target.
#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "base/file_system.h"
#include "disk/posix/block_devices.h"
#include "disk/posix/sysfs_tree.h"

namespace tvde {
namespace {

constexpr size_t kMaxTableBytes = size_t{64} << 20;

std::string ReadTable(const char* path) {
  std::string text;
  ReadKernelFile(path, kMaxTableBytes, text);
  return text;
}

DeviceNumber Split(uint64_t device) {
  return {major(static_cast<dev_t>(device)), minor(static_cast<dev_t>(device))};
}

std::optional<NodeFacts> StatPath(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  NodeFacts facts;
  facts.file = {Split(st.st_dev), static_cast<uint64_t>(st.st_ino)};
  if (S_ISBLK(st.st_mode)) facts.blockDevice = Split(st.st_rdev);
  return facts;
}

// A loop device that clears itself would be detached by the close after a look.
bool ClearsItself(const std::string& name) {
  return Attribute("/sys/block/" + name + "/loop/autoclear") == "1";
}

// The node of a device, opened without waiting, when it is the device sysfs names.
int OpenNode(const std::string& name, DeviceNumber device, int flags) {
  const int fd =
      open(("/dev/" + name).c_str(), flags | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  struct stat st {};
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISBLK(st.st_mode) || Split(st.st_rdev) != device)) {
    close(fd);
    errno = ENODEV;
    return -1;
  }
  return fd;
}

// The loop device's own answer (device and inode of its backing file, which hold after the
// file was renamed, and for names that contain line breaks); sysfs's name of the file when
// the device cannot be asked.
std::optional<NodeFacts> LoopBacking(const std::string& name) {
  const auto device = NumberOf("/sys/block/" + name);
  const int fd = device && !ClearsItself(name) ? OpenNode(name, *device, O_RDONLY) : -1;
  if (fd >= 0) {
    loop_info64 info{};
    const bool asked = ioctl(fd, LOOP_GET_STATUS64, &info) == 0;
    close(fd);
    if (asked) {
      NodeFacts facts;
      facts.file = {Split(info.lo_device), info.lo_inode};
      if (info.lo_rdevice != 0) facts.blockDevice = Split(info.lo_rdevice);
      return facts;
    }
  }
  std::string file = RawAttribute("/sys/block/" + name + "/loop/backing_file");
  if (!file.empty() && file.back() == '\n') file.pop_back();  // only the line end sysfs adds
  return file.empty() ? std::nullopt : StatPath(file);
}

// An exclusive open fails while anything mounts, holds or claims the device (or a partition of
// it); a device that went away holds nothing.
std::string HeldBy(const std::string& name, DeviceNumber device) {
  if (ClearsItself(name)) return "open, and set to detach when closed";
  const int fd = OpenNode(name, device, O_RDONLY | O_EXCL);
  if (fd >= 0) {
    close(fd);
    return {};
  }
  if (errno == EBUSY) return "open exclusively";
  return errno == ENOENT || errno == ENXIO ? std::string() : std::string("cannot be checked");
}

}  // namespace

BlockSystem ReadBlockSystem() {
  BlockSystem system;
  system.mounts = ParseMountInfo(ReadTable("/proc/self/mountinfo"));
  system.swapAreas = ParseSwapAreas(ReadTable("/proc/swaps"));
  struct stat root {};
  if (stat("/", &root) == 0) system.rootFileSystem = Split(root.st_dev);
  system.lookUp = StatPath;
  system.loopBacking = LoopBacking;
  system.heldBy = HeldBy;
  return system;
}

}  // namespace tvde
