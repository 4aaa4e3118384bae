#pragma once
// Keeps the settings file in UTF-16LE so that the profile functions store Japanese text
// faithfully (Windows build only).

#include <string>

namespace tvde {

// A missing file is created holding only the UTF-16LE byte-order mark; an existing file in the
// ANSI code page (or UTF-8 with a byte-order mark) is rewritten as UTF-16LE with the same
// content. The profile functions write ANSI into any file without that mark, and every
// character outside the code page (Japanese on most systems) then comes back as "?".
// Answers true when the file now starts with the mark; on any failure the file is left as it was.
bool EnsureUnicodeProfileFile(const std::wstring& path);

}  // namespace tvde
