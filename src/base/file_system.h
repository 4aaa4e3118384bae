#pragma once
// Folder creation and path joining with the platform's separator.

#include <cstddef>
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

// The write-test file that proves a certificate folder takes files, and its size: more than
// the three reports of a job take together.
inline constexpr const wchar_t* kWriteTestFileName = L"_tvde_write_test.tmp";
inline constexpr size_t kWriteTestFileBytes = size_t{64} * 1024;

// Creates the write-test file in `folder`, fills it, flushes it to the disk and removes it
// again. True when every step worked: the folder takes new files and has room for them.
bool CanWriteInFolder(const std::wstring& folder);

// Windows: the form of `path` that the file functions accept past MAX_PATH, made absolute
// ("\\?\C:\..." or "\\?\UNC\server\share\..."); shorter paths are returned unchanged.
// Elsewhere the path itself.
std::wstring OsFilePath(const std::wstring& path);

// The long form of an absolute Windows path, whatever its length: drive paths get "\\?\",
// UNC paths "\\?\UNC\", forward slashes become backslashes (the long form takes names
// literally). Paths already in a "\\?\" or "\\.\" form and relative paths are unchanged.
std::wstring ExtendedLengthPath(std::wstring_view absolutePath);

// folder + separator + name; the separator is added even when the folder already ends in one,
// as the report file names have always been formed.
inline std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

}  // namespace tvde
