// POSIX error texts.
#include <cerrno>
#include <cstring>

#include "base/system_error.h"
#include "base/text.h"

namespace tvde {

uint32_t LastSystemError() {
  return static_cast<uint32_t>(errno);
}

std::wstring DescribeSystemError(uint32_t code) {
  char buffer[256] = {};
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  return Utf8ToWide(text) + L" (errno " + std::to_wstring(code) + L")";
}

DiskErrorCause ClassifyDiskError(uint32_t code) {
  switch (static_cast<int>(code)) {
    case EACCES:
    case EPERM:
    case EBUSY:
      return DiskErrorCause::AccessBlocked;
    case EROFS:
      return DiskErrorCause::ReadOnlyOrOffline;
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
      return DiskErrorCause::DeviceGone;
    default:
      return DiskErrorCause::Other;
  }
}

bool IsNotFoundError(uint32_t code) {
  return code == ENOENT;
}

}  // namespace tvde
