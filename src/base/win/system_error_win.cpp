// Windows error texts through FormatMessageW.
#include <windows.h>

#include "base/system_error.h"

namespace tvde {

uint32_t LastSystemError() {
  return GetLastError();
}

std::wstring DescribeSystemError(uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  return message + L" (error " + std::to_wstring(code) + L")";
}

DiskErrorCause ClassifyDiskError(uint32_t code) {
  switch (code) {
    case ERROR_ACCESS_DENIED:
      return DiskErrorCause::AccessBlocked;
    case ERROR_WRITE_PROTECT:
      return DiskErrorCause::ReadOnlyOrOffline;
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
      return DiskErrorCause::DeviceGone;
    default:
      return DiskErrorCause::Other;
  }
}

bool IsNotFoundError(uint32_t code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

}  // namespace tvde
