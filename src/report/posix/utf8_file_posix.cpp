// Report file writer on POSIX: a temporary file beside the report, every byte written and
// flushed to the disk, then renamed over the report and the folder flushed as well.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/text.h"
#include "base/unfinished_files.h"
#include "report/utf8_file.h"

namespace tvde {
namespace {

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The rename is only kept over a power cut once the folder's entry is on the disk too. File
// systems that cannot flush a folder say so with EINVAL; that is no failure of the report.
bool FlushFolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool flushed = fsync(fd) == 0 || errno == EINVAL;
  close(fd);
  return flushed;
}

}  // namespace

bool WriteUtf8File(const std::wstring& path, std::wstring_view text) {
  std::string bytes;
  if (!EncodeUtf8FileContent(text, bytes)) return false;
  const std::string nativePath = WideToUtf8(path);
  if (nativePath.empty()) return false;
  // Only a report file is ever replaced: never a device node, a folder or a link's target.
  struct stat existing {};
  if (lstat(nativePath.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return false;

  const std::string temporary = nativePath + ".tmp";
  const int fd =
      open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  // A full disk or a network file system may report a write error only when flushed or closed.
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  // Once the set is being removed nothing goes in place; a removal that begins meanwhile
  // waits for the rename and takes this file too.
  if (ok && BeginPlacingFile()) {
    ok = rename(temporary.c_str(), nativePath.c_str()) == 0;
    EndPlacingFile();
  } else {
    ok = false;
  }
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  return FlushFolderOf(nativePath);
}

}  // namespace tvde
