// Private font loading and the UI face choice, under Wine with or without a screen device
// context.
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

TEST(UiFonts, OnlyExistingFilesAreTriedAndTheFirstAvailableFaceIsChosen) {
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

  // The pointers are the constants themselves, never copies that could dangle.
  const std::tuple<std::vector<std::wstring>, const wchar_t*, size_t> cases[] = {
      {{L"MS Gothic", L"Meiryo UI"}, kUiFacePreference[1], 2}, {{L"Arial"}, kUiFaceFallback, 4}};
  for (const auto& [available, chosen, asked] : cases) {
    size_t questions = 0;
    const wchar_t* face = ChooseUiFontFaceFrom([&](const wchar_t* candidate) {
      ++questions;
      return std::find(available.begin(), available.end(), candidate) != available.end();
    });
    EXPECT_EQ(face, chosen) << U8(available[0]);
    EXPECT_EQ(questions, asked);
  }
  EXPECT_EQ(U8(kUiFaceFallback), "MS UI Gothic");
}

TEST(UiFonts, AFontBesideTheProgramIsAddedAndFacesAreShiftJisFacesOfTheScreen) {
  EXPECT_FALSE(IsFontFamilyAvailable(L"Toreval No Such Face"));
  EXPECT_FALSE(IsFontFamilyAvailable(nullptr));
  if (HDC screen = GetDC(nullptr)) {
    ReleaseDC(nullptr, screen);
    // The test prefix maps the Japanese UI faces to Noto Sans CJK JP; DejaVu Sans exists on the
    // host but has no Shift-JIS character set.
    EXPECT_TRUE(IsFontFamilyAvailable(L"MS Gothic"));
    EXPECT_FALSE(IsFontFamilyAvailable(L"DejaVu Sans"));
    EXPECT_EQ(U8(ChooseUiFontFace()), "Yu Gothic UI");
  } else {  // nothing is available: the fallback is answered
    EXPECT_EQ(U8(ChooseUiFontFace()), "MS UI Gothic");
  }

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
  RemoveFontResourceW((program + L"\\Fonts\\msgothic.ttc").c_str());
}

}  // namespace
}  // namespace tvde
