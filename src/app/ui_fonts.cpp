// Private font loading and the choice of the UI face.
#include "app/ui_fonts.h"

#include <windows.h>

namespace tvde {

const wchar_t* const kUiFacePreference[4] = {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic",
                                             L"MS Gothic"};
const wchar_t* const kUiFaceFallback = kUiFacePreference[2];

namespace {

int CALLBACK StopAtFirstFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one match is enough
}

}  // namespace

std::vector<std::wstring> LocalFontCandidates(const std::wstring& programDirectory, bool isWinPE) {
  std::vector<std::wstring> candidates = {
      programDirectory + L"\\Fonts\\msgothic.ttc", programDirectory + L"\\Fonts\\YuGothM.ttc",
      programDirectory + L"\\Fonts\\YuGothB.ttc",  programDirectory + L"\\Fonts\\meiryo.ttc",
      programDirectory + L"\\msgothic.ttc",        programDirectory + L"\\YuGothM.ttc",
      L"X:\\Windows\\Fonts\\msgothic.ttc",         L"X:\\Windows\\Fonts\\YuGothM.ttc",
      L"X:\\Windows\\Fonts\\meiryo.ttc",
  };
  if (!isWinPE) {
    candidates.emplace_back(L"C:\\Windows\\Fonts\\msgothic.ttc");
    candidates.emplace_back(L"C:\\Windows\\Fonts\\YuGothM.ttc");
  }
  return candidates;
}

void LoadLocalFonts(const std::wstring& programDirectory, bool isWinPE,
                    const std::function<bool(const std::wstring&)>& addFontFile) {
  for (const std::wstring& path : LocalFontCandidates(programDirectory, isWinPE))
    addFontFile(path);
}

bool AddPrivateFontFile(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr) > 0;
}

bool IsFontFamilyAvailable(const wchar_t* faceName) {
  if (faceName == nullptr) return false;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  LOGFONTW font{};
  font.lfCharSet = SHIFTJIS_CHARSET;
  for (size_t i = 0; i + 1 < LF_FACESIZE && faceName[i] != L'\0'; ++i)
    font.lfFaceName[i] = faceName[i];
  bool found = false;
  EnumFontFamiliesExW(screen, &font, StopAtFirstFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

const wchar_t* ChooseUiFontFaceFrom(const std::function<bool(const wchar_t*)>& isAvailable) {
  for (const wchar_t* face : kUiFacePreference)
    if (isAvailable(face)) return face;
  return kUiFaceFallback;
}

const wchar_t* ChooseUiFontFace() {
  return ChooseUiFontFaceFrom(IsFontFamilyAvailable);
}

}  // namespace tvde
