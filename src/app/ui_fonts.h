#pragma once
// The Japanese UI font: font files beside the program or in a WinPE image are loaded, then the
// first available face of the preference list is chosen (Windows build only).

#include <functional>
#include <string>
#include <vector>

namespace tvde {

// In order of preference: "Yu Gothic UI", "Meiryo UI", "MS UI Gothic", "MS Gothic". Defined
// in one place so that every caller sees the same pointers.
extern const wchar_t* const kUiFacePreference[4];
// Answered when no preferred face is available: "MS UI Gothic".
extern const wchar_t* const kUiFaceFallback;

// The 11 font files looked for, in order: beside the program (in "Fonts" and directly), in a
// WinPE image (X:) and in the system's font folder (C:).
std::vector<std::wstring> LocalFontCandidates(const std::wstring& programDirectory);

// Adds every candidate that exists to the fonts of the session. Missing or unreadable files are
// skipped; fonts are never removed, and a repeated call adds the same files again.
void LoadLocalFonts();

// The same for the candidates of `programDirectory`, answering the files that were added.
std::vector<std::wstring> LoadLocalFontsFrom(const std::wstring& programDirectory);

// The candidate walk: `exists` decides which files are tried, `add` tries one.
std::vector<std::wstring> LoadFontFiles(const std::vector<std::wstring>& candidates,
                                        const std::function<bool(const std::wstring&)>& exists,
                                        const std::function<bool(const std::wstring&)>& add);

// AddFontResourceW of one file; true when at least one font came from it.
bool AddFontFile(const std::wstring& path);

// A face with Shift-JIS characters is known to the screen device context. False when there is
// no screen device context.
bool IsFontFamilyAvailable(const wchar_t* faceName);

// Loads the local fonts, then answers the first available face of kUiFacePreference, or
// "MS UI Gothic" when none is (a pointer to one of the constants above).
const wchar_t* ChooseUiFontFace();

// The choice behind ChooseUiFontFace, asking `isAvailable` in order of preference.
const wchar_t* ChooseUiFontFaceFrom(const std::function<bool(const wchar_t*)>& isAvailable);

}  // namespace tvde
