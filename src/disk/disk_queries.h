#pragma once
// The system queries the disk inventory is built from. The Windows build answers them with
// the Win32 disk and volume calls; tests answer them from tables laid out like the Windows
// structures.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tvde {

// A physical disk opened for queries only (no read or write access).
class DiskQueryHandle {
 public:
  virtual ~DiskQueryHandle() = default;
  // Each query fills `out` and answers the number of bytes returned, or nothing when the
  // query failed (including a result that does not fit `out`).
  virtual std::optional<size_t> QueryDeviceDescriptor(std::span<uint8_t> out) = 0;
  virtual std::optional<size_t> QueryDriveGeometryEx(std::span<uint8_t> out) = 0;
  virtual std::optional<size_t> QuerySeekPenalty(std::span<uint8_t> out) = 0;
};

class DiskSystemQueries {
 public:
  virtual ~DiskSystemQueries() = default;
  // The Windows system directory ("C:\Windows\system32"); nothing when it cannot be read.
  virtual std::optional<std::wstring> SystemDirectory() = 0;
  // Volume roots such as "E:\" in the system's order; nothing when the list cannot be read.
  virtual std::optional<std::vector<std::wstring>> LogicalDriveRoots() = 0;
  virtual bool FileExists(const std::wstring& path) = 0;
  // Disk extents of the volume "\\.\<letter>:" into `out` (bytes returned, or nothing).
  virtual std::optional<size_t> QueryVolumeExtents(wchar_t letter, std::span<uint8_t> out) = 0;
  // "\\.\PhysicalDrive<n>" opened for queries; null when it cannot be opened.
  virtual std::unique_ptr<DiskQueryHandle> OpenPhysicalDisk(int32_t diskNumber) = 0;
  // Device strings are in the ANSI code page.
  virtual std::wstring AnsiToWide(const std::string& text) = 0;
};

}  // namespace tvde
