// POSIX folders through std::filesystem with UTF-8 paths.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/file_system.h"
#include "base/text.h"

namespace tvde {

bool CreateFolderTree(const std::wstring& folder) {
  const std::filesystem::path path(WideToUtf8(folder));
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return std::filesystem::is_directory(path, error);
}

bool PathExists(const std::wstring& path) {
  const std::string narrow = WideToUtf8(path);
  std::error_code error;
  return !narrow.empty() && std::filesystem::exists(std::filesystem::path(narrow), error);
}

bool CanWriteInFolder(const std::wstring& folder) {
  const std::string folderPath = WideToUtf8(folder);
  if (folderPath.empty()) return false;
  const std::string path = WideToUtf8(JoinPath(folder, kWriteTestFileName));
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
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

}  // namespace tvde
