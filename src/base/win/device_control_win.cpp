// Device control codes sent only through handles opened with the access they demand.
#include "base/win/device_control_win.h"

#include <limits>

namespace tvde {
namespace {

// The control-code access bits an open with `access` grants. The generic rights map to the
// file rights that include reading or writing data.
uint32_t GrantedBits(DWORD access) {
  uint32_t bits = 0;
  if ((access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) != 0) bits |= kControlReadAccess;
  if ((access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA)) != 0) bits |= kControlWriteAccess;
  return bits;
}

}  // namespace

AccessHandle OpenWithAccess(const std::wstring& path, DWORD access, DWORD share, DWORD flags,
                            DWORD creation) {
  AccessHandle opened;
  opened.handle =
      WinHandle(CreateFileW(path.c_str(), access, share, nullptr, creation, flags, nullptr));
  opened.access = access;
  return opened;
}

bool AccessAdmitsControl(DWORD openedAccess, DWORD code) {
  return ControlAccessGranted(code, GrantedBits(openedAccess));
}

bool ControlDevice(const AccessHandle& device, DWORD code, std::span<const uint8_t> in,
                   std::span<uint8_t> out, DWORD& returned) {
  returned = 0;
  if (!AccessAdmitsControl(device.access, code)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (in.size() > std::numeric_limits<DWORD>::max() ||
      out.size() > std::numeric_limits<DWORD>::max()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // DeviceIoControl takes a non-const input pointer but does not write through it.
  return DeviceIoControl(device.handle.get(), code, const_cast<uint8_t*>(in.data()),
                         static_cast<DWORD>(in.size()), out.data(), static_cast<DWORD>(out.size()),
                         &returned, nullptr) != 0;
}

bool ControlDevice(const AccessHandle& device, DWORD code) {
  DWORD returned = 0;
  return ControlDevice(device, code, {}, {}, returned);
}

}  // namespace tvde
