// The portable rule of the Windows long path form.
#include "base/file_system.h"

namespace tvde {

std::wstring ExtendedLengthPath(std::wstring_view absolutePath) {
  std::wstring path(absolutePath);
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  const bool drivePath =
      path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  if (drivePath) return L"\\\\?\\" + path;
  return std::wstring(absolutePath);
}

}  // namespace tvde
