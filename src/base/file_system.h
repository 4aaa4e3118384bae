#pragma once
// Folders and files: creation, existence, copying and path joining with the platform's separator.

#include <string>
#include <string_view>

namespace tvde {

#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

// Creates `folder` with every missing parent. True when the folder exists afterwards.
bool CreateFolderTree(const std::wstring& folder);

// True when `path` names an existing file or folder.
bool PathExists(const std::wstring& path);

// True when `path` names an existing folder.
bool IsExistingFolder(const std::wstring& path);

// Copies a file, replacing an existing target. True when the copy was made.
bool CopyFileReplacing(const std::wstring& from, const std::wstring& to);

// folder + separator + name; the separator is added even when the folder already ends in one,
// as the report file names have always been formed.
inline std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

}  // namespace tvde
