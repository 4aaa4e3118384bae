// Font candidates, private font loading and the UI face choice, under Wine with or without a
// screen device context.
#include "app/ui_fonts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

std::vector<std::string> AsUtf8(const std::vector<std::wstring>& paths) {
  std::vector<std::string> out;
  for (const auto& p : paths)
    out.push_back(U8(p));
  return out;
}

TEST(UiFonts, ElevenCandidatesInTheirOrder) {
  EXPECT_EQ(AsUtf8(LocalFontCandidates(L"D:\\Tools\\Eraser")),
            (std::vector<std::string>{
                "D:\\Tools\\Eraser\\Fonts\\msgothic.ttc",
                "D:\\Tools\\Eraser\\Fonts\\YuGothM.ttc",
                "D:\\Tools\\Eraser\\Fonts\\YuGothB.ttc",
                "D:\\Tools\\Eraser\\Fonts\\meiryo.ttc",
                "D:\\Tools\\Eraser\\msgothic.ttc",
                "D:\\Tools\\Eraser\\YuGothM.ttc",
                "X:\\Windows\\Fonts\\msgothic.ttc",
                "X:\\Windows\\Fonts\\YuGothM.ttc",
                "X:\\Windows\\Fonts\\meiryo.ttc",
                "C:\\Windows\\Fonts\\msgothic.ttc",
                "C:\\Windows\\Fonts\\YuGothM.ttc",
            }));
  EXPECT_EQ(U8(LocalFontCandidates(L".")[0]), ".\\Fonts\\msgothic.ttc");
}

TEST(UiFonts, OnlyExistingFilesAreAddedAndFailuresDoNotStopTheWalk) {
  const auto candidates = LocalFontCandidates(L"P:");
  std::vector<std::string> tried;
  const auto added = LoadFontFiles(
      candidates,
      [](const std::wstring& path) {
        return path == L"P:\\Fonts\\YuGothB.ttc" || path == L"P:\\msgothic.ttc" ||
               path == L"X:\\Windows\\Fonts\\meiryo.ttc";
      },
      [&](const std::wstring& path) {
        tried.push_back(U8(path));
        return path != L"P:\\msgothic.ttc";  // a damaged file
      });
  EXPECT_EQ(tried, (std::vector<std::string>{"P:\\Fonts\\YuGothB.ttc", "P:\\msgothic.ttc",
                                             "X:\\Windows\\Fonts\\meiryo.ttc"}));
  EXPECT_EQ(AsUtf8(added),
            (std::vector<std::string>{"P:\\Fonts\\YuGothB.ttc", "X:\\Windows\\Fonts\\meiryo.ttc"}));
}

std::filesystem::path HostFontFile() {
  for (const char* candidate : {"Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf",
                                "Z:\\usr\\share\\fonts\\opentype\\noto\\NotoSansCJK-Regular.ttc"}) {
    if (std::filesystem::exists(candidate)) return candidate;
  }
  return {};
}

TEST(UiFonts, AFontFileBesideTheProgramIsAddedAndOtherFilesAreNot) {
  const auto font = HostFontFile();
  if (font.empty()) GTEST_SKIP() << "no host font file reachable through Z: to load";
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path() / "Fonts");
  std::filesystem::copy_file(font, dir.path() / "Fonts" / "msgothic.ttc");
  std::ofstream(dir.path() / "YuGothM.ttc") << "not a font";

  const std::wstring programDirectory = dir.path().wstring();
  const auto added = LoadLocalFontsFrom(programDirectory);
  std::vector<std::string> ours;
  for (const auto& path : added)
    if (path.rfind(programDirectory, 0) == 0) ours.push_back(U8(path));
  EXPECT_EQ(ours, (std::vector<std::string>{U8(programDirectory + L"\\Fonts\\msgothic.ttc")}));
  EXPECT_FALSE(AddFontFile(programDirectory + L"\\YuGothM.ttc"));
  EXPECT_FALSE(AddFontFile(programDirectory + L"\\missing.ttc"));
  RemoveFontResourceW((programDirectory + L"\\Fonts\\msgothic.ttc").c_str());
}

TEST(UiFonts, TheFirstAvailablePreferredFaceIsChosenElseMsUiGothic) {
  std::vector<std::string> asked;
  const auto only = [&](std::initializer_list<const wchar_t*> available) {
    asked.clear();
    return [&asked, available](const wchar_t* face) {
      asked.push_back(U8(face));
      for (const wchar_t* a : available)
        if (std::wstring(a) == face) return true;
      return false;
    };
  };
  EXPECT_EQ(U8(ChooseUiFontFaceFrom(only({L"MS Gothic", L"Meiryo UI"}))), "Meiryo UI");
  EXPECT_EQ(asked, (std::vector<std::string>{"Yu Gothic UI", "Meiryo UI"}));
  EXPECT_EQ(U8(ChooseUiFontFaceFrom(only({L"MS Gothic"}))), "MS Gothic");
  EXPECT_EQ(U8(ChooseUiFontFaceFrom(only({L"Yu Gothic UI", L"MS Gothic"}))), "Yu Gothic UI");
  EXPECT_EQ(asked.size(), 1u);
  // None available: the fallback even though it is not available either.
  const wchar_t* none = ChooseUiFontFaceFrom(only({L"Arial"}));
  EXPECT_EQ(U8(none), "MS UI Gothic");
  EXPECT_EQ(asked.size(), 4u);
  // The answer is one of the constants, not a copy that could dangle.
  EXPECT_EQ(none, kUiFacePreference[2]);
  EXPECT_EQ(ChooseUiFontFaceFrom(only({L"Meiryo UI"})), kUiFacePreference[1]);
}

bool FaceExistsInAnyCharset(const wchar_t* face, HDC dc) {
  LOGFONTW font{};
  font.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  bool found = false;
  EnumFontFamiliesExW(
      dc, &font,
      [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM p) -> int {
        *reinterpret_cast<bool*>(p) = true;
        return 0;
      },
      reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

TEST(UiFonts, AvailabilityAsksForShiftJisFacesOfTheScreen) {
  HDC screen = GetDC(nullptr);
  EXPECT_FALSE(IsFontFamilyAvailable(L"Toreval No Such Face"));
  EXPECT_FALSE(IsFontFamilyAvailable(nullptr));
  if (screen == nullptr) {
    // Without a screen device context nothing is available and the fallback is answered.
    EXPECT_FALSE(IsFontFamilyAvailable(L"Yu Gothic UI"));
    EXPECT_EQ(U8(ChooseUiFontFace()), "MS UI Gothic");
    return;
  }
  // The test prefix maps the Japanese UI faces to Noto Sans CJK JP.
  EXPECT_TRUE(IsFontFamilyAvailable(L"Yu Gothic UI"));
  EXPECT_TRUE(IsFontFamilyAvailable(L"MS Gothic"));
  EXPECT_EQ(U8(ChooseUiFontFace()), "Yu Gothic UI");
  // A Latin-only face exists but has no Shift-JIS character set.
  if (FaceExistsInAnyCharset(L"DejaVu Sans", screen)) {
    EXPECT_FALSE(IsFontFamilyAvailable(L"DejaVu Sans"));
  }
  ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace tvde
