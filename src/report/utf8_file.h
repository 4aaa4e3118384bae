#pragma once
// Writes one report text as a UTF-8 file (no byte-order mark, no terminating zero).

#include <string>
#include <string_view>

namespace tvde {

// Creates or replaces `path` with the UTF-8 form of `text` (up to its first zero character):
// written under `path` + ".tmp", flushed to the disk and renamed into place, so that `path`
// holds either its old content or the whole new text, never a part of it. True only when all
// of that worked. A text that has no UTF-8 form (an unpaired surrogate) is refused before
// anything is touched, and so is a `path` that names something other than a file.
bool WriteUtf8File(const std::wstring& path, std::wstring_view text);

// The bytes WriteUtf8File puts into the file, or false when the text cannot be encoded.
bool EncodeUtf8FileContent(std::wstring_view text, std::string& bytes);

}  // namespace tvde
