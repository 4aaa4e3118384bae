#pragma once
// Writes one report text as a UTF-8 file (no byte-order mark, no terminating zero).

#include <string>
#include <string_view>

namespace tvde {

// Creates or replaces `path` with the UTF-8 form of `text` (up to its first zero character).
// True only when the file was created and every byte was written. A text that has no UTF-8
// form (an unpaired surrogate) is refused before the file is touched: an empty file would
// otherwise pass for a written report.
bool WriteUtf8File(const std::wstring& path, std::wstring_view text);

// The bytes WriteUtf8File puts into the file, or false when the text cannot be encoded.
bool EncodeUtf8FileContent(std::wstring_view text, std::string& bytes);

}  // namespace tvde
