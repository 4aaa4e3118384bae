// Creation and conversion of the settings file to UTF-16LE with a byte-order mark.
#include "settings/win/unicode_profile_file.h"

#include <windows.h>

#include <vector>

#include "base/text.h"
#include "base/win/win_handle.h"
#include "settings/settings_rules.h"

namespace tvde {
namespace {

constexpr uint8_t kUtf16LeMark[2] = {0xFF, 0xFE};
constexpr DWORD kLargestSettingsFile = 16 * 1024 * 1024;

bool WriteAll(HANDLE file, const void* data, size_t size) {
  DWORD written = 0;
  return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
}

bool ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
  WinHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > kLargestSettingsFile) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (bytes.empty()) return true;
  return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
         read == bytes.size();
}

bool DecodeExisting(const std::vector<uint8_t>& bytes, std::wstring& text) {
  if (bytes.empty()) return true;
  if (DetectSettingsFileEncoding(bytes) == SettingsFileEncoding::Utf8WithBom) {
    const std::string_view body(reinterpret_cast<const char*>(bytes.data()) + 3, bytes.size() - 3);
    text = Utf8ToWide(body);
    return !(text.empty() && !body.empty());
  }
  const int length = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                                         static_cast<int>(bytes.size()), nullptr, 0);
  if (length <= 0) return false;
  text.assign(static_cast<size_t>(length), L'\0');
  return MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes.data()),
                             static_cast<int>(bytes.size()), text.data(), length) == length;
}

}  // namespace

bool EnsureUnicodeProfileFile(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return false;
    // CREATE_NEW: never clobber a file that appeared in the meantime.
    WinHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && WriteAll(file.get(), kUtf16LeMark, sizeof kUtf16LeMark);
  }
  if (DetectSettingsFileEncoding(bytes) == SettingsFileEncoding::Utf16Le) return true;

  std::wstring text;
  if (!DecodeExisting(bytes, text)) return false;
  // Written beside the file and moved over it, so a failure never leaves half a file.
  const std::wstring temporary = path + L".tmp";
  {
    WinHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    if (!WriteAll(file.get(), kUtf16LeMark, sizeof kUtf16LeMark) ||
        !WriteAll(file.get(), text.data(), text.size() * sizeof(wchar_t))) {
      file.Reset();
      DeleteFileW(temporary.c_str());
      return false;
    }
  }
  if (!MoveFileExW(temporary.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace tvde
