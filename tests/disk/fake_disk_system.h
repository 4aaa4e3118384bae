#pragma once
// A machine described by tables: disks with canned query answers, volumes with extents, mount
// points, page files, virtual disks and registry values. Records which devices were opened
// and which queries were asked.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "disk/disk_queries.h"

namespace tvde::testing {

struct FakeDisk {
  std::optional<std::vector<uint8_t>> descriptor;  // nothing: the query fails
  std::optional<std::vector<uint8_t>> geometry;
  std::optional<std::vector<uint8_t>> seekPenalty;
};

struct FakeMachine {
  std::optional<std::wstring> systemDirectory = L"C:\\Windows\\system32";
  std::optional<std::vector<std::wstring>> roots = std::vector<std::wstring>{};
  std::set<std::wstring> files;
  std::map<wchar_t, std::vector<uint8_t>> volumes;  // letter -> VOLUME_DISK_EXTENTS bytes
  // Volumes opened by another device path ("\\?\Volume{...}", "\\?\GLOBALROOT\...").
  std::map<std::wstring, std::vector<uint8_t>> namedVolumes;
  // FindFirstVolumeW's list; nothing: the list cannot be read.
  std::optional<std::vector<std::wstring>> volumeNames;
  std::map<std::wstring, std::vector<std::wstring>> mountPoints;  // volume name -> mount points
  std::map<std::wstring, std::wstring> pathVolumes;               // path prefix -> volume device
  std::map<std::wstring, std::vector<std::wstring>> vhdHosts;     // volume -> host volumes
  std::set<std::wstring> volumesHostingVhds;
  std::map<std::wstring, std::vector<std::wstring>> registry;  // "subkey|value" -> strings
  std::map<int32_t, FakeDisk> disks;

  // What the code under test did.
  std::vector<int32_t> openedDisks;
  std::vector<std::string> queries;  // "disk 1 seek", "volume E 32", ...
};

class FakeDiskQueryHandle final : public DiskQueryHandle {
 public:
  FakeDiskQueryHandle(FakeMachine& machine, int32_t number) : machine_(machine), number_(number) {}
  std::optional<size_t> QueryDeviceDescriptor(std::span<uint8_t> out) override {
    const auto& bytes = machine_.disks[number_].descriptor;
    machine_.queries.push_back("disk " + std::to_string(number_) + " descriptor " +
                               std::to_string(out.size()));
    // Like the storage property query: a buffer too small for the descriptor gets its start.
    if (!bytes) return std::nullopt;
    const size_t n = std::min(bytes->size(), out.size());
    std::copy_n(bytes->begin(), n, out.begin());
    return n;
  }
  std::optional<size_t> QueryDriveGeometryEx(std::span<uint8_t> out) override {
    return Answer("geometry", machine_.disks[number_].geometry, out);
  }
  std::optional<size_t> QuerySeekPenalty(std::span<uint8_t> out) override {
    return Answer("seek", machine_.disks[number_].seekPenalty, out);
  }

 private:
  std::optional<size_t> Answer(const char* what, const std::optional<std::vector<uint8_t>>& bytes,
                               std::span<uint8_t> out) {
    machine_.queries.push_back("disk " + std::to_string(number_) + " " + what);
    // Like DeviceIoControl: a result larger than the buffer fails the call.
    if (!bytes || bytes->size() > out.size()) return std::nullopt;
    std::copy(bytes->begin(), bytes->end(), out.begin());
    return bytes->size();
  }

  FakeMachine& machine_;
  int32_t number_;
};

class FakeDiskSystem final : public DiskSystemQueries {
 public:
  explicit FakeDiskSystem(FakeMachine& machine) : machine_(machine) {}

  std::optional<std::wstring> SystemDirectory() override { return machine_.systemDirectory; }
  std::optional<std::vector<std::wstring>> LogicalDriveRoots() override { return machine_.roots; }
  std::optional<std::vector<std::wstring>> VolumeNames() override { return machine_.volumeNames; }
  std::vector<std::wstring> MountPoints(const std::wstring& volumeName) override {
    const auto it = machine_.mountPoints.find(volumeName);
    return it == machine_.mountPoints.end() ? std::vector<std::wstring>{} : it->second;
  }
  bool FileExists(const std::wstring& path) override {
    machine_.queries.push_back("file " + WideToUtf8(path));
    return machine_.files.count(path) != 0;
  }

  // "\\.\E:" is looked up in `volumes` by its letter and logged as "volume E <bytes>"; other
  // devices in `namedVolumes`. A volume with more extents than `out` holds answers "more
  // data" with the leading bytes, as the extents query does.
  ControlAnswer QueryVolumeExtents(const std::wstring& device, std::span<uint8_t> out) override {
    const bool lettered = device.size() == 6 && device.rfind(L"\\\\.\\", 0) == 0;
    const std::string name =
        lettered ? std::string(1, static_cast<char>(device[4])) : WideToUtf8(device);
    machine_.queries.push_back("volume " + name + " " + std::to_string(out.size()));
    const std::vector<uint8_t>* bytes = nullptr;
    if (lettered && machine_.volumes.count(device[4]) != 0) bytes = &machine_.volumes[device[4]];
    if (!lettered && machine_.namedVolumes.count(device) != 0)
      bytes = &machine_.namedVolumes[device];
    if (bytes == nullptr || out.size() < 8) return {};
    const size_t n = std::min(bytes->size(), out.size());
    std::copy_n(bytes->begin(), n, out.begin());
    if (bytes->size() > out.size()) return {false, true, n};
    return {true, false, n};
  }

  std::optional<std::wstring> VolumeOfPath(const std::wstring& path) override {
    // The longest matching prefix wins, as with nested mount points.
    std::optional<std::wstring> found;
    size_t best = 0;
    for (const auto& [prefix, device] : machine_.pathVolumes) {
      if (path.rfind(prefix, 0) == 0 && prefix.size() >= best) {
        found = device;
        best = prefix.size();
      }
    }
    return found;
  }

  std::vector<std::wstring> VirtualDiskHostVolumes(const std::wstring& volumeDevice) override {
    const auto it = machine_.vhdHosts.find(volumeDevice);
    return it == machine_.vhdHosts.end() ? std::vector<std::wstring>{} : it->second;
  }
  bool HostsVirtualDisks(const std::wstring& volumeDevice) override {
    return machine_.volumesHostingVhds.count(volumeDevice) != 0;
  }

  std::vector<std::wstring> MachineRegistryStrings(const std::wstring& subkey,
                                                   const std::wstring& value) override {
    const auto it = machine_.registry.find(subkey + L"|" + value);
    return it == machine_.registry.end() ? std::vector<std::wstring>{} : it->second;
  }

  std::unique_ptr<DiskQueryHandle> OpenPhysicalDisk(int32_t diskNumber) override {
    machine_.openedDisks.push_back(diskNumber);
    if (machine_.disks.count(diskNumber) == 0) return nullptr;
    return std::make_unique<FakeDiskQueryHandle>(machine_, diskNumber);
  }

  // Windows-1252 for the one byte that differs from a plain widening: 0x80 is the euro sign.
  std::wstring AnsiToWide(const std::string& text) override {
    std::wstring out;
    for (char c : text)
      out.push_back(static_cast<uint8_t>(c) == 0x80
                        ? L'\u20AC'
                        : static_cast<wchar_t>(static_cast<uint8_t>(c)));
    return out;
  }

 private:
  FakeMachine& machine_;
};

}  // namespace tvde::testing
