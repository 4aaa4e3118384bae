// Volume device paths, extents with room for every disk, and the volumes of paths and page files.
#include "disk/volume_disks.h"

#include <algorithm>
#include <cwctype>

#include "base/byte_order.h"
#include "disk/storage_descriptors.h"

namespace tvde {
namespace {

constexpr const wchar_t* kMemoryManagementKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Memory Management";
// A volume spread over more disks than this is not believed.
constexpr uint32_t kMaxExtents = 1024;
// The extent count can change between two questions; give up after a few.
constexpr int kExtentQueryAttempts = 3;

bool IsDriveLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  }
  return true;
}

// "E:", "E:\" or "E:\anything".
bool IsDrivePath(std::wstring_view text) {
  return text.size() >= 2 && IsDriveLetter(text[0]) && text[1] == L':' &&
         (text.size() == 2 || text[2] == L'\\');
}

}  // namespace

std::wstring VolumeDeviceForLetter(wchar_t letter) {
  return std::wstring(L"\\\\.\\") + static_cast<wchar_t>(std::towupper(letter)) + L":";
}

std::wstring VolumeDeviceForName(std::wstring_view name) {
  if (StartsWithFolded(name, L"\\??\\") || StartsWithFolded(name, L"\\\\.\\")) {
    name.remove_prefix(4);
  }
  if (IsDrivePath(name) && name.size() <= 3) return VolumeDeviceForLetter(name[0]);
  if (StartsWithFolded(name, L"\\\\?\\Volume{") || StartsWithFolded(name, L"\\\\?\\GLOBALROOT\\")) {
    if (name.back() == L'\\') name.remove_suffix(1);
    return std::wstring(name);
  }
  if (StartsWithFolded(name, L"\\Device\\")) {
    return L"\\\\?\\GLOBALROOT" + std::wstring(name);
  }
  return {};
}

bool SameVolumeDevice(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() && StartsWithFolded(a, b);
}

std::optional<std::vector<int32_t>> VolumeExtentDisks(DiskSystemQueries& system,
                                                      const std::wstring& volumeDevice,
                                                      ControlAnswer* failure) {
  if (failure != nullptr) *failure = {};
  std::vector<uint8_t> buffer(kExtentsFirstOffset + kExtentBytes, 0);
  for (int attempt = 0; attempt < kExtentQueryAttempts; ++attempt) {
    const ControlAnswer answer = system.QueryVolumeExtents(volumeDevice, buffer);
    if (answer.ok) {
      const size_t bytes = std::min(answer.bytes, buffer.size());
      return ParseVolumeDiskExtents(std::span<const uint8_t>(buffer).first(bytes));
    }
    if (!answer.moreData) {
      if (failure != nullptr) *failure = answer;
      return std::nullopt;
    }
    // The leading part holds NumberOfDiskExtents: make room for all of them.
    const uint32_t count = GetLe32(buffer);
    if (count == 0 || count > kMaxExtents) return std::nullopt;
    buffer.assign(kExtentsFirstOffset + size_t{count} * kExtentBytes, 0);
  }
  return std::nullopt;
}

std::vector<int32_t> DisksOfPath(DiskSystemQueries& system, const std::wstring& path) {
  if (path.empty()) return {};
  const std::optional<std::wstring> volume = system.VolumeOfPath(path);
  if (!volume || volume->empty()) return {};
  return VolumeExtentDisks(system, *volume).value_or(std::vector<int32_t>{});
}

std::wstring PageFilePath(std::wstring_view entry) {
  if (StartsWithFolded(entry, L"\\??\\")) entry.remove_prefix(4);
  if (!IsDrivePath(entry) || entry.size() < 4) return {};
  // PagingFiles entries end in the initial and maximum sizes: " 0 0", " 1024 4096".
  for (int field = 0; field < 2; ++field) {
    const size_t space = entry.find_last_of(L' ');
    if (space == std::wstring_view::npos) break;
    const std::wstring_view tail = entry.substr(space + 1);
    if (tail.empty() ||
        !std::all_of(tail.begin(), tail.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
      break;
    }
    entry = entry.substr(0, space);
  }
  while (!entry.empty() && entry.back() == L' ')
    entry.remove_suffix(1);
  return std::wstring(entry);
}

std::vector<std::wstring> PageFileVolumes(DiskSystemQueries& system) {
  std::vector<std::wstring> entries =
      system.MachineRegistryStrings(kMemoryManagementKey, L"ExistingPageFiles");
  for (std::wstring& entry : system.MachineRegistryStrings(kMemoryManagementKey, L"PagingFiles"))
    entries.push_back(std::move(entry));

  std::vector<std::wstring> volumes;
  for (const std::wstring& entry : entries) {
    const std::wstring path = PageFilePath(entry);
    if (path.empty()) continue;
    const std::optional<std::wstring> volume = system.VolumeOfPath(path);
    if (!volume || volume->empty()) continue;
    const bool known = std::any_of(volumes.begin(), volumes.end(), [&](const std::wstring& v) {
      return SameVolumeDevice(v, *volume);
    });
    if (!known) volumes.push_back(*volume);
  }
  return volumes;
}

std::wstring VolumeDisplayName(const std::vector<std::wstring>& mountPoints,
                               const std::wstring& volumeName) {
  if (mountPoints.empty() || mountPoints.front().empty()) return volumeName;
  std::wstring name = mountPoints.front();
  if (IsDrivePath(name) && name.size() <= 3) return name.substr(0, 2);
  if (name.size() > 3 && name.back() == L'\\') name.pop_back();
  return name;
}

}  // namespace tvde
