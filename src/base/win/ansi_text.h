#pragma once
// Text in the system's ANSI code page (device strings, the output of console programs) as
// UTF-16.

#include <windows.h>

#include <string>
#include <string_view>

namespace tvde {

// Empty for empty text and for text the code page cannot convert.
inline std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  const int bytes = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide.data(), length) != length) return {};
  return wide;
}

}  // namespace tvde
