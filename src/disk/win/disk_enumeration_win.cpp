// Win32 queries behind the disk inventory: query-only handles on disks, and the volume and
// registry questions of volume_queries_win.cpp.
#include <windows.h>
#include <winioctl.h>

#include <cwchar>

#include "base/drive_strings.h"
#include "base/host_environment.h"
#include "base/win/win_handle.h"
#include "disk/disk_enumeration.h"
#include "disk/disk_inventory.h"
#include "disk/win/volume_queries_win.h"

namespace tvde {
namespace {

// Access 0: the handle can ask the device questions but neither read nor write it.
WinHandle OpenForQuery(const std::wstring& path) {
  return WinHandle(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
}

std::optional<size_t> Control(HANDLE handle, DWORD code, const void* input, DWORD inputBytes,
                              std::span<uint8_t> out) {
  DWORD returned = 0;
  if (!DeviceIoControl(handle, code, const_cast<void*>(input), inputBytes, out.data(),
                       static_cast<DWORD>(out.size()), &returned, nullptr)) {
    return std::nullopt;
  }
  return returned;
}

std::optional<size_t> QueryProperty(HANDLE handle, STORAGE_PROPERTY_ID property,
                                    std::span<uint8_t> out) {
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = property;
  query.QueryType = PropertyStandardQuery;
  return Control(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, out);
}

class Win32DiskQueryHandle final : public DiskQueryHandle {
 public:
  explicit Win32DiskQueryHandle(WinHandle handle) : handle_(std::move(handle)) {}

  std::optional<size_t> QueryDeviceDescriptor(std::span<uint8_t> out) override {
    return QueryProperty(handle_.get(), StorageDeviceProperty, out);
  }
  std::optional<size_t> QueryDriveGeometryEx(std::span<uint8_t> out) override {
    return Control(handle_.get(), IOCTL_DISK_GET_DRIVE_GEOMETRY_EX, nullptr, 0, out);
  }
  std::optional<size_t> QuerySeekPenalty(std::span<uint8_t> out) override {
    return QueryProperty(handle_.get(), StorageDeviceSeekPenaltyProperty, out);
  }

 private:
  WinHandle handle_;
};

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
    // Under Wine this device is the host's own disk.
    if (IsRunningUnderWine()) return nullptr;
    WinHandle disk = OpenForQuery(PhysicalDrivePath(diskNumber));
    if (!disk.valid()) return nullptr;
    return std::make_unique<Win32DiskQueryHandle>(std::move(disk));
  }

  std::wstring AnsiToWide(const std::string& text) override {
    if (text.empty()) return {};
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
  }
};

}  // namespace

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
