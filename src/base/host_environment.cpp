// Portable part of the host facts: path cutting and raw-device path recognition.
#include "base/host_environment.h"

namespace tvde {
namespace {

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool IsAsciiLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

wchar_t AsciiUpper(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Case-insensitive ASCII prefix test with '/' and '\' treated alike.
bool StartsWithFolded(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const wchar_t a = text[i];
    const wchar_t b = prefix[i];
    if (IsSeparator(a) && IsSeparator(b)) continue;
    if (AsciiUpper(a) != AsciiUpper(b)) return false;
  }
  return true;
}

}  // namespace

std::wstring DirectoryOfPath(std::wstring_view path) {
  const size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring_view::npos) return L".";
  return std::wstring(path.substr(0, cut));
}

std::wstring ProgramDirectory() {
  return DirectoryOfPath(ProgramModulePath());
}

bool IsRawDevicePath(std::wstring_view path) {
  // "\\.\" is the Win32 device namespace, "\\?\" the unparsed one, "\??\" the NT object
  // manager's alias directory; CreateFileW accepts all three and '/' for '\'.
  static constexpr std::wstring_view kPrefixes[] = {L"\\\\.\\", L"\\\\?\\", L"\\??\\"};
  for (std::wstring_view prefix : kPrefixes) {
    if (!StartsWithFolded(path, prefix)) continue;
    const std::wstring_view rest = path.substr(prefix.size());
    // "X:\..." continues into a folder of the drive: a file path.
    if (rest.size() >= 3 && IsAsciiLetter(rest[0]) && rest[1] == L':' && IsSeparator(rest[2])) {
      return false;
    }
    if (StartsWithFolded(rest, L"UNC\\")) return false;
    // "X:" alone is the volume; PhysicalDriveN, Volume{...}, GLOBALROOT, HarddiskVolumeN,
    // CdRom0 and every other name in these namespaces is a device.
    return true;
  }
  return false;
}

bool IsWineHostDevicePath(std::wstring_view path) {
  if (!IsRunningUnderWine()) return false;
  if (IsRawDevicePath(path)) return true;
  const std::string unixPath = WineUnixPathOf(path);
  // A path Wine cannot map is refused too: nothing proves it is an ordinary file.
  if (unixPath.empty() || unixPath.starts_with("/dev/") || unixPath == "/dev" ||
      unixPath.starts_with("/proc/") || unixPath.starts_with("/sys/")) {
    return true;
  }
  // The name may still lead to a device through a symbolic link anywhere along the path;
  // only an existing regular file is an image file.
  return !IsExistingRegularFile(path);
}

}  // namespace tvde
