// Windows folders: SHCreateDirectoryExW for the whole tree, then CreateDirectoryW once more;
// past MAX_PATH the long path form, level by level.
#include <windows.h>

#include <shlobj.h>

#include <vector>

#include "base/file_system.h"
#include "base/win/win_handle.h"

namespace tvde {
namespace {

// CreateDirectoryW takes at most MAX_PATH - 12 characters in the short form (room for an 8.3
// name inside); files take MAX_PATH - 1.
constexpr size_t kShortFormLimit = MAX_PATH - 12;

}  // namespace

std::wstring OsFilePath(const std::wstring& path) {
  if (path.size() < kShortFormLimit) return path;
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  return ExtendedLengthPath(full);
}

bool CreateFolderTree(const std::wstring& folder) {
  const std::wstring path = OsFilePath(folder);
  // The results are ignored: an existing folder is the normal case; the answer is whether the
  // folder is there now.
  if (path == folder) {
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
  } else {
    // The shell function gives up past MAX_PATH: every level in the long form, the root and
    // the server parts failing harmlessly.
    for (size_t at = path.find(L'\\', 4); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
      CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(OsFilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanWriteInFolder(const std::wstring& folder) {
  if (folder.empty()) return false;
  const std::wstring path = OsFilePath(JoinPath(folder, kWriteTestFileName));
  WinHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY, nullptr));
  if (!file.valid()) return false;
  const std::vector<char> probe(kWriteTestFileBytes, 0);
  DWORD written = 0;
  bool ok = WriteFile(file.get(), probe.data(), static_cast<DWORD>(probe.size()), &written,
                      nullptr) != 0 &&
            written == probe.size();
  ok = FlushFileBuffers(file.get()) != 0 && ok;
  file.Reset();
  ok = DeleteFileW(path.c_str()) != 0 && ok;
  return ok;
}

}  // namespace tvde
