// Drive-string lists, volume disk-extent buffers and volume paths.
#include "erase/volume_extents.h"

#include <algorithm>

#include "base/byte_order.h"

namespace tvde {
namespace {

constexpr size_t kExtentCountOffset = 0;
constexpr size_t kExtentsOffset = 8;  // the count is padded to the extents' 8-byte alignment
constexpr size_t kExtentSize = 24;
constexpr size_t kExtentDiskNumberOffset = 0;
constexpr size_t kExtentStartingOffset = 8;  // after 4 bytes of padding
constexpr size_t kExtentLengthOffset = 16;

}  // namespace

std::vector<std::wstring> SplitDriveStrings(std::wstring_view chars) {
  std::vector<std::wstring> roots;
  size_t start = 0;
  while (start < chars.size()) {
    size_t end = chars.find(L'\0', start);
    if (end == std::wstring_view::npos) end = chars.size();
    if (end == start) break;  // the empty string ends the list
    roots.emplace_back(chars.substr(start, end - start));
    start = end + 1;
  }
  return roots;
}

bool ParseVolumeDiskExtents(std::span<const uint8_t> buffer, std::vector<DiskExtent>& extents) {
  extents.clear();
  if (buffer.size() < kExtentCountOffset + 4) return false;
  const uint64_t count = GetLe32(buffer.subspan(kExtentCountOffset));
  if (count > (buffer.size() - std::min(buffer.size(), kExtentsOffset)) / kExtentSize) return false;
  for (uint64_t i = 0; i < count; ++i) {
    const auto extent = buffer.subspan(kExtentsOffset + i * kExtentSize, kExtentSize);
    extents.push_back({GetLe32(extent.subspan(kExtentDiskNumberOffset)),
                       GetLe64(extent.subspan(kExtentStartingOffset)),
                       GetLe64(extent.subspan(kExtentLengthOffset))});
  }
  return true;
}

bool ExtentsIncludeDisk(const std::vector<DiskExtent>& extents, int32_t diskNumber) {
  if (diskNumber < 0) return false;
  for (const DiskExtent& extent : extents) {
    if (extent.diskNumber == static_cast<uint32_t>(diskNumber)) return true;
  }
  return false;
}

std::wstring VolumePathForRoot(const std::wstring& root) {
  if (root.empty()) return L"";
  return std::wstring(L"\\\\.\\") + root[0] + L":";
}

}  // namespace tvde
