#pragma once
// Formats are checked as UTF-8 bytes so the same expectations hold for UTF-16 and UTF-32
// wide strings.

#include <string>

#include "base/text.h"

namespace tvde::testing {

inline std::string U8(const std::wstring& text) {
  return WideToUtf8(text);
}

}  // namespace tvde::testing
