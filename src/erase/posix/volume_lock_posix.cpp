// POSIX volume check: reports what uses the target disk, its partitions or the devices built on
// them (the judgement the disk list gives), and claims the whole disk exclusively for the job
// (an O_EXCL open of a block device fails while anything uses it and keeps partitions from
// mounting).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "base/system_error.h"
#include "base/text.h"
#include "disk/posix/block_devices.h"
#include "erase/volume_lock.h"

namespace tvde {
namespace {

class ExclusiveDeviceClaim final : public VolumeLock {
 public:
  explicit ExclusiveDeviceClaim(int fd) : fd_(fd) {}
  ExclusiveDeviceClaim(const ExclusiveDeviceClaim&) = delete;
  ExclusiveDeviceClaim& operator=(const ExclusiveDeviceClaim&) = delete;
  ~ExclusiveDeviceClaim() override { close(fd_); }

 private:
  int fd_;
};

std::optional<DeviceNumber> BlockDeviceOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return std::nullopt;
  return DeviceNumber{major(st.st_rdev), minor(st.st_rdev)};
}

}  // namespace

VolumeLockList FindMountedVolumes(DeviceNumber device, const LogCallback& log) {
  VolumeLockList list;
  const std::string reason = BlockDeviceInUse(ReadBlockSystem(), device);
  if (!reason.empty()) {
    list.inUse.push_back(Utf8ToWide(reason));
    EmitLog(log, L"[SAFETY] 対象ディスクは使用中のため書き込めません: " + Utf8ToWide(reason));
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
