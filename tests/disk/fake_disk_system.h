#pragma once
// A machine described by tables: disks with canned query answers laid out field by field like
// the Windows structures (STORAGE_DEVICE_DESCRIPTOR, DISK_GEOMETRY_EX, the seek-penalty
// descriptor, VOLUME_DISK_EXTENTS), volumes with extents and mount points, the volumes of
// paths, virtual disks and registry values. Records the opens and queries.

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/text.h"
#include "disk/disk_queries.h"

namespace tvde::testing {

using Bytes = std::vector<uint8_t>;

// Version, size, removable flag, string offsets (0: none) and bus type, then the strings.
inline Bytes DescriptorBytes(uint32_t busType, bool removable, const char* vendor,
                             const char* product, const char* revision, const char* serial) {
  Bytes bytes(40, 0);
  const char* texts[4] = {vendor, product, revision, serial};
  for (size_t i = 0; i < 4; ++i) {
    if (texts[i] == nullptr) continue;
    PutLe32(std::span(bytes).subspan(12 + 4 * i), static_cast<uint32_t>(bytes.size()));
    bytes.insert(bytes.end(), texts[i], texts[i] + std::strlen(texts[i]) + 1);
  }
  PutLe32(std::span(bytes).subspan(0), 40);
  PutLe32(std::span(bytes).subspan(4), static_cast<uint32_t>(bytes.size()));
  bytes[10] = removable ? 1 : 0;
  PutLe32(std::span(bytes).subspan(28), busType);
  return bytes;
}

// Cylinders, media type, tracks, sectors per track, bytes per sector, then the disk size.
inline Bytes GeometryBytes(uint64_t diskSize, uint32_t bytesPerSector) {
  Bytes bytes(32, 0);
  PutLe32(std::span(bytes).subspan(20), bytesPerSector);
  PutLe64(std::span(bytes).subspan(24), diskSize);
  return bytes;
}

// Version, size, then the IncursSeekPenalty flag.
inline Bytes SeekPenaltyBytes(bool penalty) {
  return {12, 0, 0, 0, 12, 0, 0, 0, static_cast<uint8_t>(penalty), 0, 0, 0};
}

// NumberOfDiskExtents, 4 bytes of padding, then 24-byte DISK_EXTENT entries.
inline Bytes ExtentsBytes(const std::vector<uint32_t>& disks) {
  Bytes bytes(8 + 24 * disks.size(), 0xEE);
  PutLe32(std::span(bytes).subspan(0), static_cast<uint32_t>(disks.size()));
  for (size_t i = 0; i < disks.size(); ++i)
    PutLe32(std::span(bytes).subspan(8 + 24 * i), disks[i]);
  return bytes;
}

// STORAGE_DEVICE_NUMBER (type 7: disk), GET_DISK_ATTRIBUTES (version, reserved, bits: 1 offline,
// 2 read-only).
inline Bytes DeviceNumberBytes(uint32_t number) {
  return {7, 0, 0, 0, static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8), 0, 0,
          0, 0, 0, 0};
}
inline Bytes AttributeBytes(uint8_t attributes) {
  return {16, 0, 0, 0, 0, 0, 0, 0, attributes, 0, 0, 0, 0, 0, 0, 0};
}

struct FakeDisk {
  std::optional<Bytes> descriptor, geometry, seekPenalty;  // nothing: the query fails
  std::optional<Bytes> number = {}, attributes = {};       // the open disk's own answers

  // Like DeviceIoControl: a result larger than the buffer fails the call, except that the
  // descriptor query returns the leading part of a descriptor larger than the buffer.
  std::optional<size_t> Answer(DiskQuery query, std::span<uint8_t> out) const {
    static constexpr std::optional<Bytes> FakeDisk::*kAnswers[] = {
        &FakeDisk::number, &FakeDisk::descriptor, &FakeDisk::seekPenalty, &FakeDisk::geometry,
        &FakeDisk::attributes};
    const std::optional<Bytes>& bytes = this->*kAnswers[static_cast<int>(query)];
    const bool leading = query == DiskQuery::DeviceDescriptor;
    if (!bytes || (!leading && bytes->size() > out.size())) return std::nullopt;
    const size_t n = std::min(bytes->size(), out.size());
    std::copy_n(bytes->begin(), n, out.begin());
    return n;
  }
};

class FakeDiskSystem final : public DiskSystemQueries {
 public:
  std::optional<std::wstring> systemDirectory = L"C:\\Windows\\system32";
  std::optional<std::vector<std::wstring>> roots = std::vector<std::wstring>{};
  std::set<std::wstring> files;
  std::map<wchar_t, Bytes> volumes;            // "\\.\E:" by its letter -> extents
  std::map<std::wstring, Bytes> namedVolumes;  // "\\?\Volume{...}", "\\?\GLOBALROOT\..."
  // Volumes whose extents question fails as given; any other unknown volume answers as one
  // that lies on no disk.
  std::map<std::wstring, ControlAnswer> volumeFailures;
  std::optional<std::vector<std::wstring>> volumeNames;  // nothing: the list cannot be read
  std::map<std::wstring, std::vector<std::wstring>> mountPoints;  // volume name -> mounts
  std::map<std::wstring, std::wstring> pathVolumes;               // path prefix -> volume device
  std::map<std::wstring, std::vector<std::wstring>> vhdHosts;     // volume -> host volumes
  std::set<std::wstring> volumesHostingVhds;
  std::map<std::wstring, std::vector<std::wstring>> registry;  // "subkey|value" -> strings
  std::map<int32_t, FakeDisk> disks;
  // Interface paths ending in "#<disk number>"; nothing: the list cannot be read.
  std::optional<std::vector<std::wstring>> interfaces;
  std::vector<int32_t> openedDisks;  // what the code under test did
  std::vector<std::string> queries;  // "disk 1 seek", "volume E 32", "file E:\..."

  // A listed volume "\\?\Volume{id}\" with extents on `onDisks`, mounted at `mounts`.
  void AddVolume(const std::wstring& id, const std::vector<uint32_t>& onDisks,
                 const std::vector<std::wstring>& mounts = {}) {
    const std::wstring device = L"\\\\?\\Volume{" + id + L"}";
    volumeNames = volumeNames.value_or(std::vector<std::wstring>{});
    volumeNames->push_back(device + L"\\");
    namedVolumes[device] = ExtentsBytes(onDisks);
    mountPoints[device + L"\\"] = mounts;
  }

  std::optional<std::wstring> SystemDirectory() override { return systemDirectory; }
  std::optional<std::vector<std::wstring>> LogicalDriveRoots() override { return roots; }
  std::optional<std::vector<std::wstring>> VolumeNames() override { return volumeNames; }
  std::vector<std::wstring> MountPoints(const std::wstring& name) override {
    return mountPoints[name];
  }
  bool FileExists(const std::wstring& path) override {
    queries.push_back("file " + WideToUtf8(path));
    return files.count(path) != 0;
  }
  // Logged as "volume E <room>" or "volume <device> <room>". Extents that do not fit answer
  // "more data" with their leading bytes, as the extents query does.
  ControlAnswer QueryVolumeExtents(const std::wstring& device, std::span<uint8_t> out) override {
    const bool lettered = device.size() == 6 && device.starts_with(L"\\\\.\\");
    queries.push_back(
        "volume " + (lettered ? std::string(1, static_cast<char>(device[4])) : WideToUtf8(device)) +
        " " + std::to_string(out.size()));
    if (volumeFailures.count(device)) return volumeFailures[device];
    const Bytes* bytes = lettered ? (volumes.count(device[4]) ? &volumes[device[4]] : nullptr)
                                  : (namedVolumes.count(device) ? &namedVolumes[device] : nullptr);
    if (bytes == nullptr) return {false, false, 0, 0, true};
    if (out.size() < 8) return {};
    const size_t n = Leading(*bytes, out);
    return {n == bytes->size(), n < bytes->size(), n};
  }
  std::optional<std::wstring> VolumeOfPath(const std::wstring& path) override {
    std::optional<std::wstring> found;  // the longest prefix, as with nested mount points
    for (const auto& [prefix, device] : pathVolumes) {
      if (path.starts_with(prefix) && prefix.size() >= found.value_or(L"").size()) found = device;
    }
    return found;
  }
  std::vector<std::wstring> VirtualDiskHostVolumes(const std::wstring& volume) override {
    return vhdHosts[volume];
  }
  bool HostsVirtualDisks(const std::wstring& volume) override {
    return volumesHostingVhds.count(volume) != 0;
  }
  std::vector<std::wstring> MachineRegistryStrings(const std::wstring& subkey,
                                                   const std::wstring& value) override {
    return registry[subkey + L"|" + value];
  }
  std::unique_ptr<DiskQueryHandle> OpenPhysicalDisk(int32_t number) override {
    openedDisks.push_back(number);
    return disks.count(number) ? std::make_unique<Handle>(*this, number) : nullptr;
  }
  std::optional<std::vector<std::wstring>> DiskInterfacePaths() override { return interfaces; }
  std::unique_ptr<DiskQueryHandle> OpenDiskInterface(const std::wstring& path) override {
    const int32_t number = std::stoi(path.substr(path.rfind(L'#') + 1));
    return disks.count(number) ? std::make_unique<Handle>(*this, number) : nullptr;
  }
  // Windows-1252 for the one byte that differs from a plain widening: 0x80 is the euro sign.
  std::wstring AnsiToWide(const std::string& text) override {
    std::wstring out;
    for (const char c : text)
      out.push_back(c == '\x80' ? L'\u20AC' : static_cast<wchar_t>(static_cast<uint8_t>(c)));
    return out;
  }

 private:
  static size_t Leading(const Bytes& bytes, std::span<uint8_t> out) {
    const size_t n = std::min(bytes.size(), out.size());
    std::copy_n(bytes.begin(), n, out.begin());
    return n;
  }
  struct Handle final : DiskQueryHandle {
    Handle(FakeDiskSystem& owner, int32_t disk) : system(owner), number(disk) {}
    std::optional<size_t> Query(DiskQuery query, std::span<uint8_t> out) override {
      const char* names[] = {"number", "descriptor", "seek", "geometry", "attributes"};
      std::string line = FormatPrintf("disk %d %s", number, names[static_cast<int>(query)]);
      if (query == DiskQuery::DeviceDescriptor)
        line += FormatPrintf(" %u", static_cast<unsigned>(out.size()));
      system.queries.push_back(line);
      return system.disks[number].Answer(query, out);
    }
    FakeDiskSystem& system;
    int32_t number;
  };
};

}  // namespace tvde::testing
