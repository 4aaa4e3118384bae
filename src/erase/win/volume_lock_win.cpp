// Windows volume locks: every volume on the target disk opened by its volume name, locked and
// dismounted with FSCTL requests, unlocked and closed on release.
#include <windows.h>
#include <winioctl.h>

#include "base/host_environment.h"
#include "base/win/device_control_win.h"
#include "disk/disk_enumeration.h"
#include "erase/disk_volume_lock.h"

namespace tvde {
namespace {

class WinVolume final : public LockableVolume {
 public:
  explicit WinVolume(AccessHandle volume) : volume_(std::move(volume)) {}
  ~WinVolume() override {
    if (locked_) ControlDevice(volume_, FSCTL_UNLOCK_VOLUME);  // result not needed
  }

  bool Lock() override {
    if (ControlDevice(volume_, FSCTL_LOCK_VOLUME)) locked_ = true;
    return locked_;
  }

  bool Dismount() override { return ControlDevice(volume_, FSCTL_DISMOUNT_VOLUME); }

 private:
  AccessHandle volume_;
  bool locked_ = false;
};

class WinVolumeLocker final : public VolumeLocker {
 public:
  std::unique_ptr<LockableVolume> OpenVolume(const std::wstring& volumeDevice) override {
    AccessHandle volume = OpenWithAccess(volumeDevice, GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
    if (!volume.valid()) return nullptr;
    return std::make_unique<WinVolume>(std::move(volume));
  }

  void Pause(uint32_t milliseconds) override { Sleep(milliseconds); }
};

}  // namespace

VolumeLockList LockAndDismountVolumes(const DiskInfo& disk, const LogCallback& log) {
  // Under Wine a volume device is the host's block device behind the drive: never touch it.
  if (IsRunningUnderWine()) return {};
  // An image file is no disk: no volume lives on it.
  if (!IsRawDevicePath(disk.devicePath)) return {};
  const std::unique_ptr<DiskSystemQueries> system = MakeWin32DiskQueries();
  WinVolumeLocker locker;
  return LockVolumesOnDisk(*system, locker, disk.diskNumber, log);
}

}  // namespace tvde
