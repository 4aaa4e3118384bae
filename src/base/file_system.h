#pragma once
// Folder creation and path joining with the platform's separator.

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

// folder + separator + name; the separator is added even when the folder already ends in one,
// as the report file names have always been formed.
inline std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

}  // namespace tvde
