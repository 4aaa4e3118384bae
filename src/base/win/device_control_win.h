#pragma once
// The one way the program sends a device control code (Windows build only).
//
// The I/O manager passes a control code to the driver only when the handle was opened with the
// access the code names in its access bits ((code >> 14) & 3: any, read, write, both); otherwise
// the call fails with ERROR_ACCESS_DENIED before any driver sees it. Wine passes every code on,
// so this wrapper applies the rule itself: a path that asks a handle the wrong question fails
// under Wine exactly as it would on a real machine.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>

#include "base/control_code_access.h"
#include "base/win/win_handle.h"

namespace tvde {

// A device or file handle together with the access it was opened with.
struct AccessHandle {
  WinHandle handle;
  DWORD access = 0;  // the desired access given to CreateFileW
  bool valid() const { return handle.valid(); }
};

// CreateFileW of an existing device or file; the handle remembers `access`.
AccessHandle OpenWithAccess(const std::wstring& path, DWORD access, DWORD share, DWORD flags,
                            DWORD creation = OPEN_EXISTING);

// True when a handle opened with `openedAccess` may send `code`.
bool AccessAdmitsControl(DWORD openedAccess, DWORD code);

// DeviceIoControl through `device`, refused with ERROR_ACCESS_DENIED (as the last error) when
// the handle lacks the access the code demands. `returned` is set on success and on "more data".
bool ControlDevice(const AccessHandle& device, DWORD code, std::span<const uint8_t> in,
                   std::span<uint8_t> out, DWORD& returned);

// The same for a request without input or output.
bool ControlDevice(const AccessHandle& device, DWORD code);

}  // namespace tvde
