// Windows volume locks: lettered volumes opened as \\.\X:, queried for their disk extents,
// locked and dismounted with FSCTL requests, unlocked and closed on release.
#include <windows.h>
#include <winioctl.h>

#include "base/drive_strings.h"
#include "base/host_environment.h"
#include "base/win/win_handle.h"
#include "disk/storage_descriptors.h"
#include "erase/lettered_volume_lock.h"

namespace tvde {
namespace {

constexpr DWORD kExtentBufferBytes = 512;

bool Control(HANDLE handle, DWORD code) {
  DWORD returned = 0;
  return DeviceIoControl(handle, code, nullptr, 0, nullptr, 0, &returned, nullptr) != 0;
}

class WinVolume final : public LockableVolume {
 public:
  explicit WinVolume(WinHandle handle) : handle_(std::move(handle)) {}
  ~WinVolume() override {
    if (lockRequested_) Control(handle_.get(), FSCTL_UNLOCK_VOLUME);  // result not needed
  }

  bool QueryDiskExtents(std::vector<int32_t>& extentDisks) override {
    // DWORD storage keeps the buffer aligned for the 64-bit fields of the answer.
    DWORD buffer[kExtentBufferBytes / sizeof(DWORD)] = {};
    DWORD returned = 0;
    if (!DeviceIoControl(handle_.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, buffer,
                         kExtentBufferBytes, &returned, nullptr)) {
      return false;
    }
    extentDisks = ParseVolumeDiskExtents({reinterpret_cast<const uint8_t*>(buffer), returned});
    return true;
  }

  bool Lock() override {
    lockRequested_ = true;
    return Control(handle_.get(), FSCTL_LOCK_VOLUME);
  }

  bool Dismount() override { return Control(handle_.get(), FSCTL_DISMOUNT_VOLUME); }

 private:
  WinHandle handle_;
  bool lockRequested_ = false;
};

class WinVolumeSystem final : public VolumeSystem {
 public:
  std::optional<std::vector<std::wstring>> LogicalDriveRoots() override {
    return QueryLogicalDriveRoots();
  }

  std::unique_ptr<LockableVolume> OpenVolume(const std::wstring& volumePath) override {
    WinHandle handle(CreateFileW(volumePath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    if (!handle.valid()) return nullptr;
    return std::make_unique<WinVolume>(std::move(handle));
  }
};

}  // namespace

VolumeLockList LockAndDismountVolumes(const DiskInfo& disk, const LogCallback& log) {
  // Under Wine "\\.\X:" opens the host's block device behind the drive: never touch it.
  if (IsRunningUnderWine()) return {};
  WinVolumeSystem system;
  return LockLetteredVolumes(system, disk.diskNumber, log);
}

}  // namespace tvde
