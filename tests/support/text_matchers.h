#pragma once
// Formats are checked as UTF-8 bytes so the same expectations hold for UTF-16 and UTF-32
// wide strings.

#include <cstddef>
#include <string>

#include "base/text.h"

namespace tvde::testing {

inline std::string U8(const std::wstring& text) {
  return WideToUtf8(text);
}

// How often `part` occurs in `text`, overlaps included.
inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

}  // namespace tvde::testing
