#pragma once
// Folder creation and path joining with the platform's separator.

#include <cstddef>
#include <cstdint>
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

enum class FileReadStatus : int32_t { Ok, Missing, TooLarge, Failed };

// The whole content of a regular file of at most `maxBytes` bytes.
FileReadStatus ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string& bytes);

enum class FileAccess : int32_t {
  Shared,     // the usual permissions of a new file
  OwnerOnly,  // only the user who creates it may read or change it
};

// Creates `path` anew (an existing file is never replaced) and writes every byte. On failure
// `error` says why and nothing is left behind.
bool WriteNewFile(const std::wstring& path, std::string_view bytes, FileAccess access,
                  std::string& error);

// Removes a file; true when it is gone afterwards (also when it was never there).
bool RemoveFile(const std::wstring& path);

// folder + separator + name; the separator is added even when the folder already ends in one,
// as the report file names have always been formed.
inline std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path(folder);
  path.push_back(kPathSeparator);
  path.append(name);
  return path;
}

}  // namespace tvde
