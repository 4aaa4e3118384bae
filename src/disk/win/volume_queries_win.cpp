// Volume names, mount points, extents, virtual-disk dependencies and machine registry values.
#include "disk/win/volume_queries_win.h"

#include <windows.h>
#include <winioctl.h>
// virtdisk.h needs the types of windows.h.
#include <virtdisk.h>

#include <cwchar>

#include "base/host_environment.h"
#include "base/win/system_library.h"
#include "base/win/win_handle.h"
#include "disk/volume_disks.h"

namespace tvde {
namespace {

using GetStorageDependencyInformationFunction = DWORD(WINAPI*)(HANDLE, GET_STORAGE_DEPENDENCY_FLAG,
                                                               ULONG, PSTORAGE_DEPENDENCY_INFO,
                                                               PULONG);

// The extents question does not apply (an optical drive, a RAM disk) or the drive holds no
// medium: the volume lies on no disk.
bool IsOnNoDiskError(DWORD error) {
  return error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_NOT_READY || error == ERROR_NO_MEDIA_IN_DRIVE;
}

constexpr DWORD kVolumeNameChars = 64;  // "\\?\Volume{GUID}\" is 49 characters
constexpr ULONG kMaxDependencyBytes = 1024 * 1024;

// Access 0: the handle can ask the volume questions but neither read nor write it.
AccessHandle OpenVolumeForQuery(const std::wstring& volumeDevice) {
  return OpenWithAccess(volumeDevice, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
}

std::vector<std::wstring> SplitMultiString(const wchar_t* chars, size_t count) {
  std::vector<std::wstring> out;
  size_t start = 0;
  for (size_t i = 0; i <= count; ++i) {
    if (i == count || chars[i] == L'\0') {
      if (i == start) break;  // an empty string ends the list
      out.emplace_back(chars + start, i - start);
      start = i + 1;
    }
  }
  return out;
}

// GetStorageDependencyInformation with version-2 entries; nothing when the call fails.
std::optional<std::vector<std::wstring>> StorageDependencies(const std::wstring& volumeDevice,
                                                             GET_STORAGE_DEPENDENCY_FLAG flags,
                                                             bool hostVolumes) {
  if (IsRunningUnderWine()) return std::nullopt;  // the device would be the host's own
  // Loaded from the system folder at run time: some WinPE images lack the library.
  const SystemLibrary library(L"virtdisk.dll");
  const auto query =
      library.Find<GetStorageDependencyInformationFunction>("GetStorageDependencyInformation");
  if (query == nullptr) return std::nullopt;
  const AccessHandle volume = OpenVolumeForQuery(volumeDevice);
  if (!volume.valid()) return std::nullopt;

  // 8-byte units keep the entries and their pointers aligned.
  std::vector<uint64_t> buffer(512, 0);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const ULONG bytes = static_cast<ULONG>(buffer.size() * sizeof(uint64_t));
    auto* info = reinterpret_cast<STORAGE_DEPENDENCY_INFO*>(buffer.data());
    info->Version = STORAGE_DEPENDENCY_INFO_VERSION_2;
    ULONG used = 0;
    const DWORD status = query(volume.handle.get(), flags, bytes, info, &used);
    if (status == ERROR_INSUFFICIENT_BUFFER && used > bytes && used <= kMaxDependencyBytes) {
      buffer.assign((used + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
      continue;
    }
    if (status != ERROR_SUCCESS) return std::nullopt;
    std::vector<std::wstring> names;
    for (ULONG i = 0; i < info->NumberEntries; ++i) {
      const STORAGE_DEPENDENCY_INFO_TYPE_2& entry = info->Version2Entries[i];
      const wchar_t* name = hostVolumes ? entry.HostVolumeName : entry.DependentVolumeName;
      names.emplace_back(name != nullptr ? name : L"");
    }
    return names;
  }
  return std::nullopt;
}

// The final path of the nearest folder or file of `fullPath` that exists, as the system names it
// once every link on the way is followed ("\\?\C:\real" gives "C:\real", "\\?\UNC\s\x"
// gives "\\s\x"), with the part that does not exist yet appended. `fullPath` itself when
// nothing on the way can be opened.
std::wstring ResolveFinalPath(const std::wstring& fullPath) {
  std::wstring existing = fullPath;
  std::wstring rest;
  for (;;) {
    const WinHandle handle(
        CreateFileW(existing.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (handle.valid()) {
      const DWORD chars = GetFinalPathNameByHandleW(handle.get(), nullptr, 0, VOLUME_NAME_DOS);
      if (chars == 0) return fullPath;
      std::vector<wchar_t> buffer(chars + 1, L'\0');
      const DWORD written = GetFinalPathNameByHandleW(
          handle.get(), buffer.data(), static_cast<DWORD>(buffer.size()), VOLUME_NAME_DOS);
      if (written == 0 || written >= buffer.size()) return fullPath;
      std::wstring final(buffer.data(), written);
      if (final.starts_with(L"\\\\?\\UNC\\")) {
        final = L"\\\\" + final.substr(8);
      } else if (final.starts_with(L"\\\\?\\")) {
        final = final.substr(4);
      }
      if (!rest.empty() && !final.ends_with(L'\\')) final += L'\\';
      return final + rest;
    }
    const size_t cut = existing.find_last_of(L'\\', existing.size() - 2);
    if (existing.size() < 2 || cut == std::wstring::npos) return fullPath;
    const std::wstring name = existing.substr(cut + 1);
    rest = rest.empty() ? name : name + (name.ends_with(L'\\') ? L"" : L"\\") + rest;
    existing = existing.substr(0, cut + 1);
  }
}

}  // namespace

std::optional<std::vector<std::wstring>> Win32VolumeNames() {
  wchar_t name[kVolumeNameChars] = {};
  HANDLE find = FindFirstVolumeW(name, kVolumeNameChars);
  if (find == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<std::wstring> names;
  do {
    names.emplace_back(name);
  } while (FindNextVolumeW(find, name, kVolumeNameChars));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindVolumeClose(find);
  if (!complete) return std::nullopt;  // a list cut short could hide a volume of the target
  return names;
}

std::vector<std::wstring> Win32MountPoints(const std::wstring& volumeName) {
  std::vector<wchar_t> buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD needed = 0;
    if (GetVolumePathNamesForVolumeNameW(volumeName.c_str(), buffer.data(),
                                         static_cast<DWORD>(buffer.size()), &needed)) {
      return SplitMultiString(buffer.data(), buffer.size());
    }
    if (GetLastError() != ERROR_MORE_DATA || needed <= buffer.size()) return {};
    buffer.assign(needed, L'\0');
  }
  return {};
}

std::optional<std::wstring> Win32VolumeOfPath(const std::wstring& path) {
  const DWORD fullChars = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (fullChars == 0) return std::nullopt;
  std::vector<wchar_t> full(fullChars + 1, L'\0');
  if (GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr) == 0)
    return std::nullopt;
  // A link, junction or substituted drive on the way leads elsewhere: the volume is the one the
  // system reaches in the end.
  const std::wstring resolved = ResolveFinalPath(full.data());
  // The mount point is a prefix of the full path (plus a backslash).
  std::vector<wchar_t> mountPoint(resolved.size() + 3, L'\0');
  if (!GetVolumePathNameW(resolved.c_str(), mountPoint.data(),
                          static_cast<DWORD>(mountPoint.size())))
    return std::nullopt;
  wchar_t volumeName[kVolumeNameChars] = {};
  if (GetVolumeNameForVolumeMountPointW(mountPoint.data(), volumeName, kVolumeNameChars)) {
    return VolumeDeviceForName(volumeName);
  }
  // Volumes without a volume name (network shares have none) answer by their letter.
  const std::wstring device = VolumeDeviceForName(mountPoint.data());
  if (device.empty()) return std::nullopt;
  return device;
}

ControlAnswer Win32QueryVolumeExtents(const std::wstring& volumeDevice, std::span<uint8_t> out) {
  // Under Wine the device would be the host's own.
  if (IsRunningUnderWine()) return {false, false, 0, ERROR_NOT_SUPPORTED, false};
  return QueryVolumeExtentsOf(OpenVolumeForQuery(volumeDevice), out);
}

ControlAnswer QueryVolumeExtentsOf(const AccessHandle& volume, std::span<uint8_t> out) {
  // A volume locked by another process cannot be opened (access or sharing denied): it may
  // well lie on the target, so only the errors below count as "on no disk".
  if (!volume.valid()) return {false, false, 0, GetLastError(), false};
  DWORD returned = 0;
  if (ControlDevice(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, {}, out, returned))
    return {true, false, returned, 0, false};
  const DWORD error = GetLastError();
  return {false, error == ERROR_MORE_DATA, returned, error, IsOnNoDiskError(error)};
}

std::vector<std::wstring> Win32VirtualDiskHostVolumes(const std::wstring& volumeDevice) {
  const auto hosts = StorageDependencies(volumeDevice, GET_STORAGE_DEPENDENCY_FLAG_HOST_VOLUMES,
                                         /*hostVolumes=*/true);
  std::vector<std::wstring> devices;
  for (const std::wstring& host : hosts.value_or(std::vector<std::wstring>{})) {
    const std::wstring device = VolumeDeviceForName(host);
    if (!device.empty()) devices.push_back(device);
  }
  return devices;
}

bool Win32HostsVirtualDisks(const std::wstring& volumeDevice) {
  const auto hosted = StorageDependencies(volumeDevice, GET_STORAGE_DEPENDENCY_FLAG_NONE,
                                          /*hostVolumes=*/false);
  return hosted && !hosted->empty();
}

std::vector<std::wstring> Win32MachineRegistryStrings(const std::wstring& subkey,
                                                      const std::wstring& value) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return {};
  DWORD type = 0;
  DWORD bytes = 0;
  std::vector<wchar_t> data;
  LSTATUS status = RegQueryValueExW(key, value.c_str(), nullptr, &type, nullptr, &bytes);
  if (status == ERROR_SUCCESS) {
    // One spare character: a stored string need not end in its zero.
    data.assign(bytes / sizeof(wchar_t) + 2, L'\0');
    bytes = static_cast<DWORD>((data.size() - 2) * sizeof(wchar_t));
    status = RegQueryValueExW(key, value.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &bytes);
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {};
  const size_t chars = bytes / sizeof(wchar_t);
  if (type == REG_MULTI_SZ) return SplitMultiString(data.data(), chars);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  const std::wstring text(data.data(), wcsnlen(data.data(), chars));
  if (text.empty()) return {};
  return {text};
}

}  // namespace tvde
