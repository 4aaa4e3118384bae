#pragma once
// Developer-facing text of a failed disk open, write, read or flush: the system's own words
// for the code, then what that code usually means for the disk.

#include <cstdint>
#include <string>

#include "base/system_error.h"

namespace tvde {

// Empty for DiskErrorCause::Other.
std::wstring DiskErrorHint(DiskErrorCause cause);

// DescribeSystemError(code), then " [" + hint + "]" when the code has a known cause.
std::wstring DescribeDiskError(uint32_t code);

}  // namespace tvde
