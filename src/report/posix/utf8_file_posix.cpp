// Report file writer on POSIX: create or truncate, write every byte, and check the close.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "base/text.h"
#include "report/utf8_file.h"

namespace tvde {

bool WriteUtf8File(const std::wstring& path, std::wstring_view text) {
  std::string bytes;
  if (!EncodeUtf8FileContent(text, bytes)) return false;
  const std::string nativePath = WideToUtf8(path);
  if (nativePath.empty()) return false;
  const int fd = open(nativePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  // A delayed write error (full disk, network file system) shows up only at close.
  if (close(fd) != 0) ok = false;
  return ok && done == bytes.size();
}

}  // namespace tvde
