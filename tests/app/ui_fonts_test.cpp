// Font candidates, private font loading and the UI face choice, under Wine with or without a
// screen device context.
#include "app/ui_fonts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

std::string Joined(const std::vector<std::wstring>& paths) {
  std::string out;
  for (const auto& p : paths)
    out += U8(p) + ";";
  return out;
}

TEST(UiFonts, CandidatesInTheirOrderAndOnlyExistingOnesAreTried) {
  EXPECT_EQ(Joined(LocalFontCandidates(L"D:\\T")),
            "D:\\T\\Fonts\\msgothic.ttc;D:\\T\\Fonts\\YuGothM.ttc;D:\\T\\Fonts\\YuGothB.ttc;"
            "D:\\T\\Fonts\\meiryo.ttc;D:\\T\\msgothic.ttc;D:\\T\\YuGothM.ttc;"
            "X:\\Windows\\Fonts\\msgothic.ttc;X:\\Windows\\Fonts\\YuGothM.ttc;"
            "X:\\Windows\\Fonts\\meiryo.ttc;C:\\Windows\\Fonts\\msgothic.ttc;"
            "C:\\Windows\\Fonts\\YuGothM.ttc;");
  std::vector<std::wstring> tried;
  const auto added = LoadFontFiles(
      LocalFontCandidates(L"P:"),
      [](const std::wstring& path) {
        return path == L"P:\\Fonts\\YuGothB.ttc" || path == L"P:\\msgothic.ttc" ||
               path == L"X:\\Windows\\Fonts\\meiryo.ttc";
      },
      [&](const std::wstring& path) {
        tried.push_back(path);
        return path != L"P:\\msgothic.ttc";  // a damaged file does not stop the walk
      });
  EXPECT_EQ(Joined(tried),
            "P:\\Fonts\\YuGothB.ttc;P:\\msgothic.ttc;X:\\Windows\\Fonts\\meiryo.ttc;");
  EXPECT_EQ(Joined(added), "P:\\Fonts\\YuGothB.ttc;X:\\Windows\\Fonts\\meiryo.ttc;");
}

TEST(UiFonts, AFontFileBesideTheProgramIsAddedAndOtherFilesAreNot) {
  const std::filesystem::path font = "Z:\\usr\\share\\fonts\\truetype\\dejavu\\DejaVuSans.ttf";
  if (!std::filesystem::exists(font)) GTEST_SKIP() << "no host font file reachable through Z:";
  testing::TempDir dir;
  std::filesystem::create_directory(dir.path() / "Fonts");
  std::filesystem::copy_file(font, dir.path() / "Fonts" / "msgothic.ttc");
  std::ofstream(dir.path() / "YuGothM.ttc") << "not a font";
  const std::wstring program = dir.path().wstring();
  std::vector<std::wstring> ours;
  for (const auto& path : LoadLocalFontsFrom(program))
    if (path.starts_with(program)) ours.push_back(path);
  EXPECT_EQ(Joined(ours), U8(program + L"\\Fonts\\msgothic.ttc;"));
  EXPECT_FALSE(AddFontFile(program + L"\\YuGothM.ttc"));
  EXPECT_FALSE(AddFontFile(program + L"\\missing.ttc"));
  RemoveFontResourceW((program + L"\\Fonts\\msgothic.ttc").c_str());
}

TEST(UiFonts, TheFirstAvailablePreferredFaceIsChosenElseMsUiGothic) {
  struct Case {
    std::vector<std::wstring> available;
    const wchar_t* const* chosen;  // one of the constants, never a copy that could dangle
    size_t asked;
  };
  for (const Case& c :
       std::vector<Case>{{{L"MS Gothic", L"Meiryo UI"}, &kUiFacePreference[1], 2},
                         {{L"MS Gothic"}, &kUiFacePreference[3], 4},
                         {{L"Yu Gothic UI", L"MS Gothic"}, &kUiFacePreference[0], 1},
                         {{L"Arial"}, &kUiFaceFallback, 4}}) {
    size_t asked = 0;
    const wchar_t* face = ChooseUiFontFaceFrom([&](const wchar_t* candidate) {
      ++asked;
      return std::find(c.available.begin(), c.available.end(), candidate) != c.available.end();
    });
    EXPECT_EQ(face, *c.chosen) << U8(c.available[0]);
    EXPECT_EQ(asked, c.asked);
  }
  EXPECT_EQ(U8(kUiFaceFallback), "MS UI Gothic");
}

TEST(UiFonts, AvailabilityAsksForShiftJisFacesOfTheScreen) {
  EXPECT_FALSE(IsFontFamilyAvailable(L"Toreval No Such Face"));
  EXPECT_FALSE(IsFontFamilyAvailable(nullptr));
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) {
    // Without a screen device context nothing is available and the fallback is answered.
    EXPECT_FALSE(IsFontFamilyAvailable(L"Yu Gothic UI"));
    EXPECT_EQ(U8(ChooseUiFontFace()), "MS UI Gothic");
    return;
  }
  ReleaseDC(nullptr, screen);
  // The test prefix maps the Japanese UI faces to Noto Sans CJK JP; DejaVu Sans exists on the
  // host but has no Shift-JIS character set.
  EXPECT_TRUE(IsFontFamilyAvailable(L"Yu Gothic UI"));
  EXPECT_TRUE(IsFontFamilyAvailable(L"MS Gothic"));
  EXPECT_FALSE(IsFontFamilyAvailable(L"DejaVu Sans"));
  EXPECT_EQ(U8(ChooseUiFontFace()), "Yu Gothic UI");
}

}  // namespace
}  // namespace tvde
