#pragma once
// A machine described by tables: disks with canned query answers and volumes with extents.
// Records which devices were opened and which queries were asked.

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
  std::map<int32_t, FakeDisk> disks;

  // What the code under test did.
  std::vector<int32_t> openedDisks;
  std::vector<std::string> queries;  // "disk 1 seek", "volume E 512", ...
};

class FakeDiskQueryHandle final : public DiskQueryHandle {
 public:
  FakeDiskQueryHandle(FakeMachine& machine, int32_t number) : machine_(machine), number_(number) {}
  std::optional<size_t> QueryDeviceDescriptor(std::span<uint8_t> out) override {
    return Answer("descriptor", machine_.disks[number_].descriptor, out);
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
  bool FileExists(const std::wstring& path) override {
    machine_.queries.push_back("file " + WideToUtf8(path));
    return machine_.files.count(path) != 0;
  }

  std::optional<size_t> QueryVolumeExtents(wchar_t letter, std::span<uint8_t> out) override {
    machine_.queries.push_back("volume " + std::string(1, static_cast<char>(letter)) + " " +
                               std::to_string(out.size()));
    const auto it = machine_.volumes.find(letter);
    if (it == machine_.volumes.end() || it->second.size() > out.size()) return std::nullopt;
    std::copy(it->second.begin(), it->second.end(), out.begin());
    return it->second.size();
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
