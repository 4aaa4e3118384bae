#pragma once
// The rule the Windows I/O manager applies to a device control code before any driver sees it:
// the access bits of the code ((code >> 14) & 3: 1 read, 2 write, 3 both) must all have been
// granted to the handle, else the call fails with ERROR_ACCESS_DENIED. Portable, so that the
// seams that model Windows apply the same rule as the Windows wrapper.

#include <cstdint>

namespace tvde {

inline constexpr uint32_t kControlReadAccess = 1;   // FILE_READ_ACCESS
inline constexpr uint32_t kControlWriteAccess = 2;  // FILE_WRITE_ACCESS

constexpr uint32_t ControlCodeAccess(uint32_t code) {
  return (code >> 14) & 3;
}

// `grantedBits`: kControlReadAccess and kControlWriteAccess of the handle.
constexpr bool ControlAccessGranted(uint32_t code, uint32_t grantedBits) {
  return (grantedBits & ControlCodeAccess(code)) == ControlCodeAccess(code);
}

}  // namespace tvde
