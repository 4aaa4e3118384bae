#pragma once
// Folders and files: creation, existence, copying and path joining with the platform's separator.

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

// True when `path` names an existing file or folder.
bool PathExists(const std::wstring& path);

enum class FileReadResult { Read, Missing, NotARegularFile, TooLarge, Failed };

// Reads a whole regular file (links followed) of at most `maxBytes`. Anything else at the path
// (a folder, a pipe, a device) is refused without being read, so the call never blocks and
// never grows without bound; `content` is set only when the answer is Read.
FileReadResult ReadRegularFile(const std::wstring& path, size_t maxBytes, std::string& content);

#ifndef _WIN32
// The whole of a file of the kernel's (/proc, /sys) of at most `maxBytes`, read with plain
// system calls: an attribute whose device went away while it was read gives false, never an
// exception. `content` holds what was read either way.
bool ReadKernelFile(const std::string& path, size_t maxBytes, std::string& content);
#endif

// The size of the write-test file that proves a certificate folder takes files: more than the
// three reports of a job take together.
inline constexpr size_t kWriteTestFileBytes = size_t{64} * 1024;

// A fresh, unpredictable write-test file name ("_tvde_write_test_<16 hex digits>.tmp"), so that
// nothing can be put in its place beforehand; empty when no random bytes can be had.
std::wstring FreshWriteTestFileName();

// Creates a write-test file of a fresh name in `folder` (as a new regular file only: never
// through a link, never opening a pipe or device, never waiting), fills it, flushes it to the
// disk and removes it again. True when every step worked: the folder takes new files and has
// room for them.
bool CanWriteInFolder(const std::wstring& folder);

// Windows: the form of `path` that the file functions accept past MAX_PATH, made absolute
// ("\\?\C:\..." or "\\?\UNC\server\share\..."); shorter paths are returned unchanged.
// Elsewhere the path itself.
std::wstring OsFilePath(const std::wstring& path);

// The long form of an absolute Windows path, whatever its length: drive paths get "\\?\",
// UNC paths "\\?\UNC\", forward slashes become backslashes (the long form takes names
// literally). Paths already in a "\\?\" or "\\.\" form and relative paths are unchanged.
std::wstring ExtendedLengthPath(std::wstring_view absolutePath);

// True when `path` names an existing folder.
bool IsExistingFolder(const std::wstring& path);

// Copies a file, replacing an existing target. True when the copy was made.
bool CopyFileReplacing(const std::wstring& from, const std::wstring& to);

enum class FileAccess : int32_t {
  Shared,     // the usual permissions of a new file
  OwnerOnly,  // only the user who creates it may read or change it
};

// Creates `folder` with every missing parent; `access` applies to the folder itself when this
// call makes it (OwnerOnly whatever the umask). True when the folder exists afterwards.
bool CreateFolderTree(const std::wstring& folder, FileAccess access = FileAccess::Shared);

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
