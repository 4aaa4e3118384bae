#pragma once
// Developer-facing description of an OS error code (GetLastError / errno).

#include <cstdint>
#include <string>

namespace tvde {

uint32_t LastSystemError();
std::wstring DescribeSystemError(uint32_t code);

// True for the codes that say the path names nothing (ENOENT; ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND).
bool IsNotFoundError(uint32_t code);

}  // namespace tvde
