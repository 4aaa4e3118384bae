#pragma once
// Developer-facing description of an OS error code (GetLastError / errno).

#include <cstdint>
#include <string>

namespace tvde {

uint32_t LastSystemError();
std::wstring DescribeSystemError(uint32_t code);

}  // namespace tvde
