// POSIX volume check: reports file systems mounted from the target disk, its partitions or
// the devices stacked on them, and claims the whole disk exclusively for the job (an O_EXCL
// open of a block device fails while anything uses it and keeps partitions from mounting).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/system_error.h"
#include "base/text.h"
#include "disk/mount_table.h"
#include "erase/volume_lock.h"

namespace tvde {
namespace {

namespace fs = std::filesystem;

class ExclusiveDeviceClaim final : public VolumeLock {
 public:
  explicit ExclusiveDeviceClaim(int fd) : fd_(fd) {}
  ExclusiveDeviceClaim(const ExclusiveDeviceClaim&) = delete;
  ExclusiveDeviceClaim& operator=(const ExclusiveDeviceClaim&) = delete;
  ~ExclusiveDeviceClaim() override { close(fd_); }

 private:
  int fd_;
};

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::optional<DeviceNumber> SysfsDeviceNumber(const fs::path& blockDir) {
  return ParseDeviceNumber(ReadWholeFile(blockDir / "dev"));
}

void AddOnce(std::vector<DeviceNumber>& devices, std::vector<fs::path>& pending,
             const fs::path& dir) {
  const auto number = SysfsDeviceNumber(dir);
  if (!number) return;
  for (const DeviceNumber& known : devices) {
    if (known == *number) return;
  }
  devices.push_back(*number);
  pending.push_back(dir);
}

// The disk, its partitions, and every device stacked on any of them (device-mapper, md).
std::vector<DeviceNumber> DevicesOfDisk(DeviceNumber disk) {
  std::vector<DeviceNumber> devices{disk};
  std::error_code error;
  const fs::path diskDir = fs::canonical(
      "/sys/dev/block/" + std::to_string(disk.major) + ":" + std::to_string(disk.minor), error);
  if (error) return devices;

  std::vector<fs::path> pending{diskDir};
  for (const auto& entry : fs::directory_iterator(diskDir, error)) {
    if (fs::exists(entry.path() / "partition", error)) AddOnce(devices, pending, entry.path());
  }
  while (!pending.empty()) {
    const fs::path dir = pending.back();
    pending.pop_back();
    for (const auto& holder : fs::directory_iterator(dir / "holders", error)) {
      AddOnce(devices, pending, fs::path("/sys/class/block") / holder.path().filename());
    }
  }
  return devices;
}

std::optional<DeviceNumber> BlockDeviceOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return std::nullopt;
  return DeviceNumber{major(st.st_rdev), minor(st.st_rdev)};
}

}  // namespace

VolumeLockList FindMountedVolumes(DeviceNumber device, const LogCallback& log) {
  VolumeLockList list;
  const auto mounts = MountsOnDevices(ParseMountInfo(ReadWholeFile("/proc/self/mountinfo")),
                                      DevicesOfDisk(device), BlockDeviceOf);
  for (const MountEntry& mount : mounts) {
    list.inUse.push_back(Utf8ToWide(mount.source + " (" + mount.mountPoint + ")"));
    EmitLog(log, L"[SAFETY] 対象ディスク上のファイルシステム " + Utf8ToWide(mount.source) +
                     L" が " + Utf8ToWide(mount.mountPoint) + L" にマウントされています。");
  }
  return list;
}

VolumeLockList LockAndDismountVolumes(const DiskInfo& disk, const LogCallback& log) {
  VolumeLockList list;
  const std::string path = WideToUtf8(disk.devicePath);
  // An image file is not mounted by the system through a device of its own: nothing to hold.
  const auto target = path.empty() ? std::nullopt : BlockDeviceOf(path);
  if (!target) return list;

  list = FindMountedVolumes(*target, log);
  const bool mounted = !list.inUse.empty();

  const int fd = open(path.c_str(), O_RDONLY | O_EXCL | O_CLOEXEC);
  const int openError = errno;
  if (fd >= 0) {
    list.locks.push_back(std::make_unique<ExclusiveDeviceClaim>(fd));
    EmitLog(log, L"[SAFETY] デバイス " + disk.devicePath + L" を排他ロックしました。");
  } else if (openError == EBUSY) {
    if (!mounted) list.inUse.push_back(disk.devicePath);
    EmitLog(log, L"[ERROR] デバイス " + disk.devicePath +
                     L" はシステムで使用中のため排他ロックできませんでした。");
  } else {
    const uint32_t code = static_cast<uint32_t>(openError);
    EmitLog(log, L"[ERROR] デバイス " + disk.devicePath + L" を排他ロックできませんでした: " +
                     DescribeSystemError(code));
  }
  return list;
}

}  // namespace tvde
