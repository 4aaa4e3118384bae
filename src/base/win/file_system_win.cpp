// Windows folders: SHCreateDirectoryExW for the whole tree, then CreateDirectoryW once more.
#include <windows.h>

#include <shlobj.h>

#include "base/file_system.h"

namespace tvde {

bool CreateFolderTree(const std::wstring& folder) {
  // Both results are ignored: an existing folder is the normal case; the answer is whether the
  // folder is there now.
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  return IsExistingFolder(folder);
}

bool IsExistingFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
  return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

}  // namespace tvde
