// Private font loading and the choice of the UI face.
#include "app/ui_fonts.h"

#include <windows.h>

#include "base/host_environment.h"

namespace tvde {

const wchar_t* const kUiFacePreference[4] = {L"Yu Gothic UI", L"Meiryo UI", L"MS UI Gothic",
                                             L"MS Gothic"};
const wchar_t* const kUiFaceFallback = kUiFacePreference[2];

namespace {

int CALLBACK StopAtFirstFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one match is enough
}

bool FileAttributesReadable(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

std::vector<std::wstring> LocalFontCandidates(const std::wstring& programDirectory) {
  return {
      programDirectory + L"\\Fonts\\msgothic.ttc", programDirectory + L"\\Fonts\\YuGothM.ttc",
      programDirectory + L"\\Fonts\\YuGothB.ttc",  programDirectory + L"\\Fonts\\meiryo.ttc",
      programDirectory + L"\\msgothic.ttc",        programDirectory + L"\\YuGothM.ttc",
      L"X:\\Windows\\Fonts\\msgothic.ttc",         L"X:\\Windows\\Fonts\\YuGothM.ttc",
      L"X:\\Windows\\Fonts\\meiryo.ttc",           L"C:\\Windows\\Fonts\\msgothic.ttc",
      L"C:\\Windows\\Fonts\\YuGothM.ttc",
  };
}

std::vector<std::wstring> LoadFontFiles(const std::vector<std::wstring>& candidates,
                                        const std::function<bool(const std::wstring&)>& exists,
                                        const std::function<bool(const std::wstring&)>& add) {
  std::vector<std::wstring> added;
  for (const std::wstring& path : candidates) {
    if (!exists(path)) continue;
    if (add(path)) added.push_back(path);
  }
  return added;
}

bool AddFontFile(const std::wstring& path) {
  return AddFontResourceW(path.c_str()) > 0;
}

std::vector<std::wstring> LoadLocalFontsFrom(const std::wstring& programDirectory) {
  return LoadFontFiles(LocalFontCandidates(programDirectory), FileAttributesReadable, AddFontFile);
}

void LoadLocalFonts() {
  LoadLocalFontsFrom(ProgramDirectory());
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
  LoadLocalFonts();
  return ChooseUiFontFaceFrom(IsFontFamilyAvailable);
}

}  // namespace tvde
