// POSIX files and folders: std::filesystem for folders, open/read/write for small files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/file_system.h"
#include "base/system_error.h"
#include "base/text.h"

namespace tvde {

bool CreateFolderTree(const std::wstring& folder, FileAccess access) {
  std::filesystem::path path = std::filesystem::path(WideToUtf8(folder)).lexically_normal();
  if (path.empty()) return false;
  // "keys/" names the folder keys: made as its own parent, it would escape the owner-only mode.
  if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
  std::error_code error;
  if (access == FileAccess::OwnerOnly) {
    std::filesystem::create_directories(path.parent_path(), error);
    mkdir(path.c_str(), 0700);  // the mode is narrowed by the umask, never widened
  }
  std::filesystem::create_directories(path, error);
  return IsExistingFolder(folder);
}

bool IsExistingFolder(const std::wstring& path) {
  const std::string narrow = WideToUtf8(path);
  std::error_code error;
  return !narrow.empty() && std::filesystem::is_directory(std::filesystem::path(narrow), error);
}

bool PathExists(const std::wstring& path) {
  const std::string narrow = WideToUtf8(path);
  std::error_code error;
  return !narrow.empty() && std::filesystem::exists(std::filesystem::path(narrow), error);
}

bool ReadKernelFile(const std::string& path, size_t maxBytes, std::string& content) {
  content.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  bool ok = true;
  char buffer[4096];
  while (content.size() < maxBytes) {
    const ssize_t n = read(fd, buffer, std::min(sizeof buffer, maxBytes - content.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    content.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return ok;
}

bool CanWriteInFolder(const std::wstring& folder) {
  const std::wstring name = FreshWriteTestFileName();
  if (WideToUtf8(folder).empty() || name.empty()) return false;
  const std::string path = WideToUtf8(JoinPath(folder, name));
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  const std::vector<char> probe(kWriteTestFileBytes, 0);
  size_t done = 0;
  while (done < probe.size()) {
    const ssize_t n = write(fd, probe.data() + done, probe.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == probe.size();
  ok = fsync(fd) == 0 && ok;  // a file system that allocates late says it is full only here
  ok = close(fd) == 0 && ok;
  ok = unlink(path.c_str()) == 0 && ok;
  return ok;
}

std::wstring OsFilePath(const std::wstring& path) {
  return path;
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
  std::error_code error;
  return std::filesystem::copy_file(std::filesystem::path(WideToUtf8(from)),
                                    std::filesystem::path(WideToUtf8(to)),
                                    std::filesystem::copy_options::overwrite_existing, error);
}

bool WriteNewFile(const std::wstring& path, std::string_view bytes, FileAccess access,
                  std::string& error) {
  const std::string narrow = WideToUtf8(path);
  const mode_t mode = access == FileAccess::OwnerOnly ? 0600 : 0644;
  const int fd =
      narrow.empty() ? -1 : open(narrow.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    error = WideToUtf8(DescribeSystemError(LastSystemError()));
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    if (n > 0) done += static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (!ok) error = WideToUtf8(DescribeSystemError(LastSystemError()));
  if (close(fd) != 0 && ok) {
    ok = false;
    error = WideToUtf8(DescribeSystemError(LastSystemError()));
  }
  if (!ok) unlink(narrow.c_str());
  return ok;
}

bool RemoveFile(const std::wstring& path) {
  const std::string narrow = WideToUtf8(path);
  return !narrow.empty() && (unlink(narrow.c_str()) == 0 || errno == ENOENT);
}

}  // namespace tvde
