// Which volumes belong to the target disk, and their device paths.
#include "erase/volume_extents.h"

#include <algorithm>

namespace tvde {

bool ExtentsIncludeDisk(const std::vector<int32_t>& extentDisks, int32_t diskNumber) {
  if (diskNumber < 0) return false;
  return std::find(extentDisks.begin(), extentDisks.end(), diskNumber) != extentDisks.end();
}

std::wstring VolumePathForRoot(const std::wstring& root) {
  if (root.empty()) return L"";
  return std::wstring(L"\\\\.\\") + root[0] + L":";
}

}  // namespace tvde
