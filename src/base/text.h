#pragma once
// Text conversion and printf-style formatting shared by every subsystem.
// Wide strings are UTF-16 on Windows and UTF-32 elsewhere; both convert to the same UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

namespace tvde {

// UTF-8 without byte-order mark or terminator. The text is read up to its first zero
// character; an unpaired surrogate or an invalid code point makes the whole result empty.
std::string WideToUtf8(std::wstring_view text);

// The text with every character that has no UTF-8 form here (a zero character, an unpaired
// surrogate, a value beyond U+10FFFF) replaced by U+FFFD, so that WideToUtf8 converts all of it.
std::wstring ReplaceUnencodable(std::wstring text);

// Appends one code point (not a surrogate, at most U+10FFFF) in UTF-8.
void AppendUtf8(std::string& out, uint32_t codePoint);

// Strict UTF-8 decoding: overlong forms, surrogates and truncated sequences make the
// whole result empty.
std::wstring Utf8ToWide(std::string_view text);

// Byte-for-byte widening of ASCII text (each byte becomes one character).
std::wstring AsciiToWide(std::string_view text);

// snprintf into a std::string (classic "C" number formatting).
std::string FormatPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Same, widened for use in wide texts; the format must produce ASCII only.
std::wstring FormatPrintfW(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tvde
