#pragma once
// The Japanese UI font: font files beside the program or in a WinPE image are loaded once at
// start-up, then every window chooses the first available face of the preference list
// (Windows build only).

#include <functional>
#include <string>
#include <vector>

namespace tvde {

// In order of preference: "Yu Gothic UI", "Meiryo UI", "MS UI Gothic", "MS Gothic". Defined
// in one place so that every caller sees the same pointers.
extern const wchar_t* const kUiFacePreference[4];
// Answered when no preferred face is available: "MS UI Gothic".
extern const wchar_t* const kUiFaceFallback;

// The font files looked for, in order: beside the program (in "Fonts" and directly), in a
// WinPE image (X:) and, outside WinPE, in the system's font folder (C:). Under WinPE, C: is an
// internal disk that may be erased, and a loaded font file stays open for the life of the
// process.
std::vector<std::wstring> LocalFontCandidates(const std::wstring& programDirectory, bool isWinPE);

// Offers every candidate in order to `addFontFile`, which skips missing or unreadable files.
void LoadLocalFonts(const std::wstring& programDirectory, bool isWinPE,
                    const std::function<bool(const std::wstring&)>& addFontFile);

// An existing font file added privately to this process (AddFontResourceExW, FR_PRIVATE): true
// when at least one font came from it. The fonts leave with the process.
bool AddPrivateFontFile(const std::wstring& path);

// A face with Shift-JIS characters is known to the screen device context. False when there is
// no screen device context.
bool IsFontFamilyAvailable(const wchar_t* faceName);

// The first available face of kUiFacePreference, or "MS UI Gothic" when none is (a pointer to
// one of the constants above). Loads nothing: the program's start did.
const wchar_t* ChooseUiFontFace();

// The choice behind ChooseUiFontFace, asking `isAvailable` in order of preference.
const wchar_t* ChooseUiFontFaceFrom(const std::function<bool(const wchar_t*)>& isAvailable);

}  // namespace tvde
