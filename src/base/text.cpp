// Portable UTF-8 <-> wide conversion and printf-style formatting.
#include "base/text.h"

#include <cstdarg>
#include <cstdio>
#include <type_traits>
#include <vector>

namespace tvde {
namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsSurrogate(uint32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// A wide character's code unit, widened without sign extension.
uint32_t CodeUnit(wchar_t unit) {
  // NOLINTNEXTLINE(bugprone-signed-char-misuse): a wide character, not a char
  return static_cast<std::make_unsigned_t<wchar_t>>(unit);
}

void AppendWide(std::wstring& out, uint32_t c) {
  if (kWideIsUtf16 && c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<wchar_t>(c));
  }
}

std::string VFormat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length <= 0) return {};
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  std::vsnprintf(buffer.data(), buffer.size(), format, args);
  return std::string(buffer.data(), static_cast<size_t>(length));
}

}  // namespace

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = CodeUnit(text[i]);
    if (c == 0) break;
    if (kWideIsUtf16) {
      c &= 0xFFFF;
      if (c >= 0xD800 && c <= 0xDBFF) {
        if (i + 1 >= text.size()) return {};
        const uint32_t low = static_cast<uint32_t>(text[i + 1]) & 0xFFFF;
        if (low < 0xDC00 || low > 0xDFFF) return {};
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else if (IsSurrogate(c)) {
        return {};
      }
    } else if (IsSurrogate(c) || c > 0x10FFFF) {
      return {};
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::wstring ReplaceUnencodable(std::wstring text) {
  constexpr wchar_t kReplacement = static_cast<wchar_t>(0xFFFD);
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t c = CodeUnit(text[i]);
    if (kWideIsUtf16 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
        CodeUnit(text[i + 1]) >= 0xDC00 && CodeUnit(text[i + 1]) <= 0xDFFF) {
      ++i;  // a complete surrogate pair
    } else if (c == 0 || IsSurrogate(c) || c > 0x10FFFF) {
      text[i] = kReplacement;
    }
  }
  return text;
}

std::wstring Utf8ToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    uint32_t c = 0;
    size_t extra = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      c = lead & 0x1F, extra = 1, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      c = lead & 0x0F, extra = 2, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      c = lead & 0x07, extra = 3, minimum = 0x10000;
    } else {
      return {};
    }
    if (i + extra >= text.size()) return {};  // truncated sequence
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return {};
      c = (c << 6) | (next & 0x3F);
    }
    if (extra > 0 && (c < minimum || c > 0x10FFFF || IsSurrogate(c))) return {};
    AppendWide(out, c);
    i += extra + 1;
  }
  return out;
}

std::wstring AsciiToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (char ch : text)
    out.push_back(static_cast<wchar_t>(static_cast<uint8_t>(ch)));
  return out;
}

std::string FormatPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = VFormat(format, args);
  va_end(args);
  return out;
}

std::wstring FormatPrintfW(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = VFormat(format, args);
  va_end(args);
  return AsciiToWide(out);
}

}  // namespace tvde
