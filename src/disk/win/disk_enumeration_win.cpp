// Win32 queries behind the disk inventory: the disks' device interfaces, query-only handles on
// disks, and the volume and registry questions of volume_queries_win.cpp.
#include <windows.h>
// setupapi.h needs the types of windows.h.
#include <setupapi.h>
#include <winioctl.h>

#include <cstddef>
#include <cwchar>

#include "base/drive_strings.h"
#include "base/host_environment.h"
#include "base/win/ansi_text.h"
#include "base/win/device_control_win.h"
#include "base/win/disk_query_win.h"
#include "disk/disk_enumeration.h"
#include "disk/disk_inventory.h"
#include "disk/win/volume_queries_win.h"

namespace tvde {
namespace {

class Win32DiskQueryHandle final : public DiskQueryHandle {
 public:
  explicit Win32DiskQueryHandle(AccessHandle disk) : disk_(std::move(disk)) {}

  std::optional<size_t> Query(DiskQuery query, std::span<uint8_t> out) override {
    return QueryWin32Disk(disk_, query, out);
  }

 private:
  AccessHandle disk_;
};

std::unique_ptr<DiskQueryHandle> OpenDiskForQuery(const std::wstring& path) {
  // Under Wine a disk device is the host's own disk.
  if (IsRunningUnderWine()) return nullptr;
  return OpenQueryHandle(path);
}

// GUID_DEVINTERFACE_DISK, spelled out: the header's copy is defined only with INITGUID.
constexpr GUID kDiskInterfaceClass = {
    0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

// Owner of a SetupAPI device information set.
class DeviceInfoSet {
 public:
  explicit DeviceInfoSet(HDEVINFO set) : set_(set) {}
  DeviceInfoSet(const DeviceInfoSet&) = delete;
  DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
  ~DeviceInfoSet() {
    if (valid()) SetupDiDestroyDeviceInfoList(set_);
  }
  bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
  HDEVINFO get() const { return set_; }

 private:
  HDEVINFO set_;
};

std::optional<std::vector<std::wstring>> Win32DiskInterfacePaths() {
  const DeviceInfoSet set(SetupDiGetClassDevsW(&kDiskInterfaceClass, nullptr, nullptr,
                                               DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!set.valid()) return std::nullopt;
  std::vector<std::wstring> paths;
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA item{};
    item.cbSize = sizeof item;
    if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &kDiskInterfaceClass, index, &item)) {
      if (GetLastError() == ERROR_NO_MORE_ITEMS) break;
      return std::nullopt;
    }
    DWORD bytes = 0;
    SetupDiGetDeviceInterfaceDetailW(set.get(), &item, nullptr, 0, &bytes, nullptr);
    if (bytes < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
    // 8-byte units keep the detail record aligned.
    std::vector<uint64_t> buffer((bytes + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(set.get(), &item, detail, bytes, nullptr, nullptr))
      continue;
    const size_t chars =
        (bytes - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
    paths.emplace_back(detail->DevicePath, wcsnlen(detail->DevicePath, chars));
  }
  return paths;
}

class Win32DiskQueries final : public DiskSystemQueries {
 public:
  std::optional<std::wstring> SystemDirectory() override {
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    return std::wstring(buffer, length);
  }

  std::optional<std::vector<std::wstring>> LogicalDriveRoots() override {
    return QueryLogicalDriveRoots();
  }

  bool FileExists(const std::wstring& path) override {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::optional<std::vector<std::wstring>> VolumeNames() override { return Win32VolumeNames(); }

  std::vector<std::wstring> MountPoints(const std::wstring& volumeName) override {
    return Win32MountPoints(volumeName);
  }

  ControlAnswer QueryVolumeExtents(const std::wstring& volumeDevice,
                                   std::span<uint8_t> out) override {
    return Win32QueryVolumeExtents(volumeDevice, out);
  }

  std::optional<std::wstring> VolumeOfPath(const std::wstring& path) override {
    return Win32VolumeOfPath(path);
  }

  std::vector<std::wstring> VirtualDiskHostVolumes(const std::wstring& volumeDevice) override {
    return Win32VirtualDiskHostVolumes(volumeDevice);
  }

  bool HostsVirtualDisks(const std::wstring& volumeDevice) override {
    return Win32HostsVirtualDisks(volumeDevice);
  }

  std::vector<std::wstring> MachineRegistryStrings(const std::wstring& subkey,
                                                   const std::wstring& value) override {
    return Win32MachineRegistryStrings(subkey, value);
  }

  std::unique_ptr<DiskQueryHandle> OpenPhysicalDisk(int32_t diskNumber) override {
    return OpenDiskForQuery(PhysicalDrivePath(diskNumber));
  }

  std::optional<std::vector<std::wstring>> DiskInterfacePaths() override {
    // Wine lists no disks; its answers would not be the host's anyway.
    if (IsRunningUnderWine()) return std::nullopt;
    return Win32DiskInterfacePaths();
  }

  std::unique_ptr<DiskQueryHandle> OpenDiskInterface(const std::wstring& path) override {
    return OpenDiskForQuery(path);
  }

  std::wstring AnsiToWide(const std::string& text) override { return ::tvde::AnsiToWide(text); }
};

}  // namespace

std::unique_ptr<DiskQueryHandle> OpenQueryHandle(const std::wstring& path) {
  // Access 0: the handle can ask the device questions but neither read nor write it, and
  // opening it needs no administrator rights.
  AccessHandle disk = OpenWithAccess(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  if (!disk.valid()) return nullptr;
  return std::make_unique<Win32DiskQueryHandle>(std::move(disk));
}

std::unique_ptr<DiskSystemQueries> MakeWin32DiskQueries() {
  return std::make_unique<Win32DiskQueries>();
}

std::vector<DiskInfo> EnumeratePhysicalDisks(int32_t environmentMode, int32_t unlockInternal) {
  if (IsRunningUnderWine()) return {};
  Win32DiskQueries system;
  return EnumeratePhysicalDisksWith(system, environmentMode, unlockInternal);
}

int32_t FindBootMediaDiskNumber() {
  if (IsRunningUnderWine()) return -1;
  Win32DiskQueries system;
  return FindBootMediaDiskNumberWith(system);
}

void AssignDriveLetters(std::vector<DiskInfo>& disks) {
  if (IsRunningUnderWine()) return;
  Win32DiskQueries system;
  AssignDriveLettersWith(system, disks);
}

}  // namespace tvde
