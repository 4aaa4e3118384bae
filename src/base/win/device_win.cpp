// Windows device layer: CreateFileW with FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH for
// raw disks and image files, and the disk DeviceIoControl requests.
#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <limits>

#include "base/device.h"
#include "base/host_environment.h"
#include "base/trim_request.h"
#include "base/win/device_control_win.h"
#include "base/win/disk_query_win.h"
#include "base/win/win_handle.h"

namespace tvde {
namespace {

class WinDevice final : public Device {
 public:
  WinDevice(AccessHandle device, bool unbuffered, uint32_t sectorSize)
      : device_(std::move(device)), unbuffered_(unbuffered), sectorSize_(sectorSize) {}

  bool Seek(uint64_t offset) override {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(device_.handle.get(), distance, nullptr, FILE_BEGIN)) return false;
    position_ = offset;
    return true;
  }

  IoResult Read(std::span<uint8_t> buffer) override {
    // Wine ignores FILE_FLAG_NO_BUFFERING and would accept misaligned transfers; a real
    // unbuffered disk handle refuses them, so this layer does too on every platform.
    if (unbuffered_ && !IsSectorAligned(position_, buffer.size(), buffer.data(), sectorSize_)) {
      return {false, 0, ERROR_INVALID_PARAMETER};
    }
    if (buffer.size() > std::numeric_limits<DWORD>::max())
      return {false, 0, ERROR_INVALID_PARAMETER};
    DWORD done = 0;
    if (!ReadFile(device_.handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &done,
                  nullptr)) {
      return {false, 0, GetLastError()};
    }
    position_ += done;
    return {true, done, 0};
  }

  IoResult Write(std::span<const uint8_t> data) override {
    if (unbuffered_ && !IsSectorAligned(position_, data.size(), data.data(), sectorSize_)) {
      return {false, 0, ERROR_INVALID_PARAMETER};
    }
    if (data.size() > std::numeric_limits<DWORD>::max()) return {false, 0, ERROR_INVALID_PARAMETER};
    DWORD done = 0;
    if (!WriteFile(device_.handle.get(), data.data(), static_cast<DWORD>(data.size()), &done,
                   nullptr)) {
      return {false, 0, GetLastError()};
    }
    position_ += done;
    return {true, done, 0};
  }

  bool Flush() override { return FlushFileBuffers(device_.handle.get()) != 0; }

  bool TrimWholeDevice(uint64_t sizeBytes) override {
    const auto request = BuildTrimRequest(sizeBytes);
    DWORD returned = 0;
    return ControlDevice(device_, IOCTL_STORAGE_MANAGE_DATA_SET_ATTRIBUTES, request, {}, returned);
  }

  bool DeleteDriveLayout() override {
    return ControlDevice(device_, IOCTL_DISK_DELETE_DRIVE_LAYOUT);
  }

  bool UpdateProperties() override { return ControlDevice(device_, IOCTL_DISK_UPDATE_PROPERTIES); }

  bool QueryLength(uint64_t& lengthBytes) override {
    GET_LENGTH_INFORMATION info{};
    DWORD returned = 0;
    if (ControlDevice(device_, IOCTL_DISK_GET_LENGTH_INFO, {},
                      std::span(reinterpret_cast<uint8_t*>(&info), sizeof info), returned) &&
        returned >= sizeof info) {
      lengthBytes = static_cast<uint64_t>(info.Length.QuadPart);
      return true;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(device_.handle.get(), &size)) return false;
    lengthBytes = static_cast<uint64_t>(size.QuadPart);
    return true;
  }

  std::optional<size_t> QueryDisk(DiskQuery query, std::span<uint8_t> out) override {
    return QueryWin32Disk(device_, query, out);
  }

  std::optional<intptr_t> NativeHandle() const override {
    return reinterpret_cast<intptr_t>(device_.handle.get());
  }

 private:
  AccessHandle device_;
  bool unbuffered_;
  uint32_t sectorSize_;
  uint64_t position_ = 0;
};

// Fills the kind, size and file index of an open file; a disk or volume handle has none of
// them and stays Other.
DeviceObject Describe(HANDLE handle) {
  DeviceObject object;
  object.kind = DeviceKind::Other;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
    return object;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    object.kind = DeviceKind::SymbolicLink;
  } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    object.kind = DeviceKind::Folder;
  } else {
    object.kind = DeviceKind::RegularFile;
    object.sizeBytes = (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
  }
  object.fileSystem.minor = info.dwVolumeSerialNumber;
  object.fileNumber = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return object;
}

DWORD CreationDisposition(DeviceCreation creation) {
  if (creation == DeviceCreation::CreateAlways) return CREATE_ALWAYS;
  if (creation == DeviceCreation::CreateNew) return CREATE_NEW;
  return OPEN_EXISTING;
}

// FILE_STORAGE_INFO of an open file; 0 when the system does not answer (Wine does not).
uint32_t LogicalSectorSizeOf(HANDLE file) {
  FILE_STORAGE_INFO info{};
  if (!GetFileInformationByHandleEx(file, FileStorageInfo, &info, sizeof info)) return 0;
  return info.LogicalBytesPerSector;
}

}  // namespace

DeviceObject InspectDevicePath(const std::wstring& path, DeviceLinks links, uint32_t& error) {
  error = 0;
  // A raw disk or volume is named, not looked at: under Wine it would be one of the host's.
  DeviceObject named;
  named.kind = DeviceKind::Other;
  if (IsRawDevicePath(path)) return named;
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS |
                      (links == DeviceLinks::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  WinHandle handle(CreateFileW(path.c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, flags, nullptr));
  if (!handle.valid()) {
    error = GetLastError();
    return {};
  }
  return Describe(handle.get());
}

uint32_t UnbufferedFileSectorSize(const std::wstring& path) {
  if (IsRawDevicePath(path)) return 0;  // a device answers with its own geometry
  WinHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
  if (!file.valid()) return 0;
  return LogicalSectorSizeOf(file.get());
}

DeviceOpenResult OpenDevice(const std::wstring& path, const DeviceOpenOptions& options) {
  const DWORD access =
      options.access == DeviceAccess::ReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const bool unbuffered = options.buffering == DeviceBuffering::Unbuffered;
  DWORD flags =
      unbuffered ? FILE_FLAG_NO_BUFFERING | FILE_FLAG_WRITE_THROUGH : FILE_ATTRIBUTE_NORMAL;
  if (options.links == DeviceLinks::Refuse) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  AccessHandle device = OpenWithAccess(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, flags,
                                       CreationDisposition(options.creation));
  if (!device.valid()) return {nullptr, GetLastError(), {}};
  const DeviceObject object = Describe(device.handle.get());
  // The link itself was opened: it is reported, never written through.
  if (object.kind == DeviceKind::SymbolicLink) return {nullptr, ERROR_CANT_ACCESS_FILE, object};
  uint32_t sector = options.sectorSize == 0 ? 512 : options.sectorSize;
  // An image file on a volume with larger sectors takes that volume's alignment.
  if (unbuffered && !IsRawDevicePath(path))
    sector = std::max(sector, LogicalSectorSizeOf(device.handle.get()));
  return {std::make_unique<WinDevice>(std::move(device), unbuffered, sector), 0, object};
}

}  // namespace tvde
