// The running system's block-device snapshot: /proc/self/mountinfo, /proc/swaps, the device
// of "/", stat for names, and the loop devices' own account of their backing files.
#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "disk/posix/block_devices.h"

namespace tvde {
namespace {

std::string ReadProcFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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

// The loop device's own answer (device and inode of its backing file, which hold after the
// file was renamed, and for names that contain line breaks); sysfs's name of the file when
// the device cannot be asked.
std::optional<NodeFacts> LoopBacking(const std::string& name) {
  const std::string sysfs = "/sys/block/" + name;
  const std::string dev = ReadProcFile((sysfs + "/dev").c_str());
  // A loop device that clears itself would be detached by the close after a look.
  const bool autoclear = ReadProcFile((sysfs + "/loop/autoclear").c_str()).rfind('1', 0) == 0;
  const int fd = autoclear ? -1
                           : open(("/dev/" + name).c_str(),
                                  O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd >= 0) {
    struct stat st {};
    loop_info64 info{};
    const bool asked = fstat(fd, &st) == 0 && S_ISBLK(st.st_mode) &&
                       ParseDeviceNumber(dev) == Split(st.st_rdev) &&
                       ioctl(fd, LOOP_GET_STATUS64, &info) == 0;
    close(fd);
    if (asked) {
      NodeFacts facts;
      facts.file = {Split(info.lo_device), info.lo_inode};
      if (info.lo_rdevice != 0) facts.blockDevice = Split(info.lo_rdevice);
      return facts;
    }
  }
  std::string file = ReadProcFile((sysfs + "/loop/backing_file").c_str());
  if (!file.empty() && file.back() == '\n') file.pop_back();  // only the line end sysfs adds
  return file.empty() ? std::nullopt : StatPath(file);
}

}  // namespace

BlockSystem ReadBlockSystem() {
  BlockSystem system;
  system.mounts = ParseMountInfo(ReadProcFile("/proc/self/mountinfo"));
  system.swapAreas = ParseSwapAreas(ReadProcFile("/proc/swaps"));
  struct stat root {};
  if (stat("/", &root) == 0) system.rootFileSystem = Split(root.st_dev);
  system.lookUp = StatPath;
  system.loopBacking = LoopBacking;
  return system;
}

}  // namespace tvde
