// GetLogicalDriveStringsW into a 512-character buffer.
#include <windows.h>

#include "base/drive_strings.h"

namespace tvde {

std::optional<std::vector<std::wstring>> QueryLogicalDriveRoots() {
  constexpr DWORD kChars = 512;
  wchar_t buffer[kChars] = {};
  const DWORD length = GetLogicalDriveStringsW(kChars - 1, buffer);
  if (length == 0 || length >= kChars) return std::nullopt;
  return SplitDriveStrings({buffer, length});
}

}  // namespace tvde
