// UTF-8 conversion and printf formatting of the OS layer.
#include "base/text.h"

#include <gtest/gtest.h>

namespace tvde {
namespace {

TEST(WideToUtf8, EncodesAsciiJapaneseAndAstralCharacters) {
  EXPECT_EQ(WideToUtf8(L""), "");
  EXPECT_EQ(WideToUtf8(L"Disk 0"), "Disk 0");
  EXPECT_EQ(WideToUtf8(L"消去済"), "\xE6\xB6\x88\xE5\x8E\xBB\xE6\xB8\x88");
  EXPECT_EQ(WideToUtf8(L"\u00e9"), "\xC3\xA9");
  // U+1F600 is a surrogate pair in UTF-16 and one unit in UTF-32; both give 4 bytes.
  EXPECT_EQ(WideToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(WideToUtf8, StopsAtTheFirstZeroCharacter) {
  const std::wstring text(L"ab\0cd", 5);
  EXPECT_EQ(WideToUtf8(text), "ab");
}

TEST(WideToUtf8, RejectsUnpairedSurrogatesWithAnEmptyResult) {
  std::wstring lone;
  lone.push_back(L'a');
  lone.push_back(static_cast<wchar_t>(0xD800));
  EXPECT_EQ(WideToUtf8(lone), "");
  std::wstring lowOnly;
  lowOnly.push_back(static_cast<wchar_t>(0xDC00));
  lowOnly.push_back(L'b');
  EXPECT_EQ(WideToUtf8(lowOnly), "");
}

TEST(Utf8ToWide, RoundTripsThroughWideToUtf8) {
  const std::string samples[] = {"", "plain", "証明書ID: TVDE", "\xF0\x9F\x98\x80 smile",
                                 "\xEF\xBC\x86 \xEF\xBD\x9E"};
  for (const auto& s : samples)
    EXPECT_EQ(WideToUtf8(Utf8ToWide(s)), s) << s;
  EXPECT_EQ(Utf8ToWide("\xE6\xB6\x88"), L"消");
}

TEST(Utf8ToWide, RejectsMalformedInput) {
  EXPECT_EQ(Utf8ToWide("ok\xC3"), L"");            // truncated sequence
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), L"");          // overlong '/'
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"");      // encoded surrogate
  EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), L"");  // above U+10FFFF
  EXPECT_EQ(Utf8ToWide("a\x80z"), L"");            // stray continuation byte
  EXPECT_EQ(Utf8ToWide("\xE6\xB6\x41"), L"");      // bad continuation
}

TEST(AsciiToWide, WidensEveryByte) {
  EXPECT_EQ(AsciiToWide("A-z 09"), L"A-z 09");
  EXPECT_EQ(AsciiToWide(std::string("\0x", 2)), std::wstring(L"\0x", 2));
}

TEST(FormatPrintf, UsesClassicNumberFormatting) {
  EXPECT_EQ(FormatPrintf("%.2f GB", 931.3225746154785), "931.32 GB");
  EXPECT_EQ(FormatPrintf("%02X%02X", 0x9a, 0x0b), "9A0B");
  EXPECT_EQ(FormatPrintf("%d", 1234567), "1234567");
  EXPECT_EQ(FormatPrintf("%s", ""), "");
  EXPECT_EQ(FormatPrintfW("%.1f MB", 500.0), L"500.0 MB");
  const std::string longText(5000, 'x');
  EXPECT_EQ(FormatPrintf("%s!", longText.c_str()), longText + "!");
}

}  // namespace
}  // namespace tvde

namespace tvde {
namespace {

TEST(ReplaceUnencodable, KeepsValidTextAndReplacesWhatHasNoUtf8Form) {
  EXPECT_EQ(ReplaceUnencodable(L"plain 消去 \U0001F600"), L"plain 消去 \U0001F600");
  std::wstring broken(L"a");
  broken.push_back(L'\0');
  broken.push_back(static_cast<wchar_t>(0xD800));
  broken.push_back(L'b');
  broken.push_back(static_cast<wchar_t>(0xDC00));
  const std::wstring repaired = ReplaceUnencodable(broken);
  EXPECT_EQ(WideToUtf8(repaired),
            "a\xEF\xBF\xBD\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  EXPECT_EQ(repaired.size(), broken.size());
}

}  // namespace
}  // namespace tvde
