// Load rules of the settings, the profile integer reading and the stored text forms. The range
// rules of the numbers and the cut of the texts run through the real store in its own tests.
#include "settings/settings_rules.h"

#include <gtest/gtest.h>

#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

AppSettings Defaults() {
  AppSettings d;
  d.certOutputDir = L"C:\\Users\\op\\Documents\\Toreval Disk Eraser Certificates";
  return d;
}

StoredSettings Stored() {
  StoredSettings s;
  s.operatorName = L"山田 太郎";
  s.organizationName = L"東京リサイクルセンター";
  s.certOutputDir = L"E:\\Logs";
  return s;
}

TEST(SettingsRules, TheRegistryOperatorWinsEvenWhenEmptyAndOnlyTheOperator) {
  StoredSettings s = Stored();
  s.registryOperatorName = L"佐藤";
  AppSettings loaded = ApplyStoredSettings(s, Defaults());
  EXPECT_EQ(U8(loaded.operatorName), "佐藤");
  EXPECT_EQ(U8(loaded.organizationName), "東京リサイクルセンター");  // not from the registry
  s.registryOperatorName = std::wstring(300, L'名');
  EXPECT_EQ(ApplyStoredSettings(s, Defaults()).operatorName, std::wstring(259, L'名'));
  s.registryOperatorName = L"";
  EXPECT_EQ(U8(ApplyStoredSettings(s, Defaults()).operatorName), "");
}

TEST(SettingsRules, ProfileIntegersAreReadLikeTheProfileFunctions) {
  // Answers observed from GetPrivateProfileIntW (default 42).
  struct Case {
    const wchar_t* text;
    uint32_t expected;
  };
  const Case cases[] = {
      {L"", 42},
      {L"   ", 42},
      {L"0", 0},
      {L"7", 7},
      {L"9", 9},
      {L"-1", 4294967295u},
      {L"-2", 4294967294u},
      {L"+3", 3},
      {L"7abc", 7},
      {L"abc", 0},
      {L"1.5", 1},
      {L"0x5", 5},
      {L"0x1F", 31},
      {L"0X5", 0},
      {L"0o17", 15},
      {L"0b101", 5},
      {L"4294967296", 0},
      {L"99999999999", 1215752191u},
      {L"  12", 12},
      {L"-", 0},
      {L"01", 1},
      {L"1 2", 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseProfileInt(c.text, 42), c.expected) << U8(c.text);
}

TEST(SettingsRules, LineBreaksAreStoredAsSpaces) {
  EXPECT_EQ(U8(ProfileSafeText(L"株式会社\r\n[Safety]\nDefaultExecMode=1\r")),
            "株式会社  [Safety] DefaultExecMode=1 ");
  EXPECT_EQ(U8(ProfileSafeText(L"plain text")), "plain text");
}

std::vector<uint8_t> Utf16Le(std::initializer_list<uint16_t> units) {
  std::vector<uint8_t> bytes;
  for (uint16_t u : units) {
    bytes.push_back(static_cast<uint8_t>(u));
    bytes.push_back(static_cast<uint8_t>(u >> 8));
  }
  return bytes;
}

TEST(SettingsRules, RegistryTextIsDecodedOnlyFromStringValues) {
  // "山田" with its terminating zero, as RegSetValueExW stores it.
  const auto yamada = Utf16Le({0x5C71, 0x7530, 0});
  EXPECT_EQ(U8(DecodeRegistryText(1, yamada).value()), "山田");
  EXPECT_EQ(U8(DecodeRegistryText(2, yamada).value()), "山田");
  EXPECT_FALSE(DecodeRegistryText(4, yamada).has_value());  // REG_DWORD
  EXPECT_FALSE(DecodeRegistryText(3, yamada).has_value());  // REG_BINARY
  // No terminator, an odd trailing byte, and text after a zero.
  EXPECT_EQ(U8(DecodeRegistryText(1, Utf16Le({'A', 'B'})).value()), "AB");
  auto odd = Utf16Le({'A'});
  odd.push_back('B');
  EXPECT_EQ(U8(DecodeRegistryText(1, odd).value()), "A");
  EXPECT_EQ(U8(DecodeRegistryText(1, Utf16Le({'A', 0, 'B', 0})).value()), "A");
  EXPECT_EQ(U8(DecodeRegistryText(1, {}).value()), "");
  // A surrogate pair (U+1F600) survives on both wchar_t widths.
  EXPECT_EQ(U8(DecodeRegistryText(1, Utf16Le({0xD83D, 0xDE00, 0})).value()), "\xF0\x9F\x98\x80");
  // 260 characters without terminator fill the 520-byte buffer and are cut to 259.
  std::vector<uint8_t> full(520, 0);
  for (size_t i = 0; i < 520; i += 2)
    full[i] = 'x';
  EXPECT_EQ(DecodeRegistryText(1, full).value().size(), 259u);
}

TEST(SettingsRules, FileEncodingIsToldByItsByteOrderMark) {
  const uint8_t utf16[] = {0xFF, 0xFE, '[', 0};
  const uint8_t utf8[] = {0xEF, 0xBB, 0xBF, '['};
  const uint8_t ansi[] = {'[', 'G', 'e', 'n'};
  const uint8_t bigEndian[] = {0xFE, 0xFF, 0, '['};
  EXPECT_EQ(DetectSettingsFileEncoding(utf16), SettingsFileEncoding::Utf16Le);
  EXPECT_EQ(DetectSettingsFileEncoding(utf8), SettingsFileEncoding::Utf8WithBom);
  EXPECT_EQ(DetectSettingsFileEncoding(ansi), SettingsFileEncoding::Ansi);
  EXPECT_EQ(DetectSettingsFileEncoding(bigEndian), SettingsFileEncoding::Ansi);
  EXPECT_EQ(DetectSettingsFileEncoding(std::span(utf16).first(1)), SettingsFileEncoding::Ansi);
  EXPECT_EQ(DetectSettingsFileEncoding({}), SettingsFileEncoding::Ansi);
}

TEST(SettingsRules, SettingsFileLivesUnderLocalAppDataElseBesideTheProgram) {
  EXPECT_EQ(U8(ComposeSettingsFilePath(L"C:\\Users\\op\\AppData\\Local", L"D:\\Tools")),
            "C:\\Users\\op\\AppData\\Local\\Toreval\\DiskEraser\\TorevalDiskEraser.ini");
  EXPECT_EQ(U8(ComposeSettingsFilePath(L"", L"D:\\Tools")), "D:\\Tools\\TorevalDiskEraser.ini");
  EXPECT_EQ(U8(ComposeSettingsFilePath(L"", L".")), ".\\TorevalDiskEraser.ini");
}

}  // namespace
}  // namespace tvde
