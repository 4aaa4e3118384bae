// Report files: exact UTF-8 bytes, replacement of old files and every failure path.
#include "report/utf8_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/temp_dir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvde {
namespace {

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

TEST(WriteUtf8File, WritesJapaneseTextAsUtf8WithoutByteOrderMark) {
  testing::TempDir dir;
  const std::wstring path = dir.File("TVDE-20260105-143012-9A0B1C2D_AuditLog.txt");
  ASSERT_TRUE(WriteUtf8File(path, L"消去証明書\r\nOperator: 山田\r\n"));
  const std::string bytes = ReadBytes(dir.path() / "TVDE-20260105-143012-9A0B1C2D_AuditLog.txt");
  EXPECT_EQ(bytes,
            "\xE6\xB6\x88\xE5\x8E\xBB\xE8\xA8\xBC\xE6\x98\x8E\xE6\x9B\xB8\r\n"
            "Operator: \xE5\xB1\xB1\xE7\x94\xB0\r\n");
  // The first byte is the first character of the text, never EF BB BF.
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xE6);
}

TEST(WriteUtf8File, ReplacesALongerExistingFileCompletely) {
  testing::TempDir dir;
  const auto file = dir.path() / "report.json";
  WriteBytes(file, std::string(10000, 'x'));
  ASSERT_TRUE(WriteUtf8File(dir.File("report.json"), L"{}\n"));
  EXPECT_EQ(ReadBytes(file), "{}\n");
  ASSERT_TRUE(WriteUtf8File(dir.File("report.json"), L""));
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 0u);
}

TEST(WriteUtf8File, WritesLargeTextsInFull) {
  testing::TempDir dir;
  std::wstring text;
  size_t expectedBytes = 0;
  for (int i = 0; i < 200000; ++i) {
    text += L"セクタ " + std::to_wstring(i) + L"\n";
    expectedBytes += 9 + 1 + std::to_string(i).size() + 1;  // three 3-byte characters
  }
  ASSERT_TRUE(WriteUtf8File(dir.File("big.txt"), text));
  const std::string bytes = ReadBytes(dir.path() / "big.txt");
  EXPECT_EQ(bytes.size(), expectedBytes);
  EXPECT_EQ(bytes.substr(0, 13), "\xE3\x82\xBB\xE3\x82\xAF\xE3\x82\xBF 0\n\xE3");
  EXPECT_EQ(bytes.substr(bytes.size() - 7), "199999\n");
}

TEST(WriteUtf8File, FailsWhenTheFolderIsMissingOrThePathIsAFolder) {
  testing::TempDir dir;
  EXPECT_FALSE(WriteUtf8File(dir.File("no-such-folder/report.html"), L"<html>"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no-such-folder"));
  std::filesystem::create_directory(dir.path() / "taken");
  EXPECT_FALSE(WriteUtf8File(dir.File("taken"), L"<html>"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "taken"));
}

TEST(WriteUtf8File, RefusesTextWithoutAUtf8FormAndLeavesTheOldFile) {
  testing::TempDir dir;
  const auto file = dir.path() / "old.txt";
  WriteBytes(file, "previous report");
  std::wstring broken = L"Serial: ";
  broken.push_back(static_cast<wchar_t>(0xD800));  // unpaired surrogate
  EXPECT_FALSE(WriteUtf8File(dir.File("old.txt"), broken));
  EXPECT_EQ(ReadBytes(file), "previous report");
  std::string bytes = "unchanged";
  EXPECT_FALSE(EncodeUtf8FileContent(broken, bytes));
  EXPECT_TRUE(EncodeUtf8FileContent(std::wstring(L"\0tail", 5), bytes));
  EXPECT_EQ(bytes, "");
}

#ifdef _WIN32
TEST(WriteUtf8File, FailsWhileAnotherHandleHoldsTheFileWithoutSharing) {
  testing::TempDir dir;
  const std::wstring path = dir.File("locked.html");
  HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(WriteUtf8File(path, L"<html>"));
  CloseHandle(holder);
  EXPECT_TRUE(WriteUtf8File(path, L"<html>"));
}
#else
TEST(WriteUtf8File, NeverReplacesSomethingOtherThanAFile) {
  // The temporary file renamed into place must never take the place of a device node.
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  EXPECT_FALSE(WriteUtf8File(L"/dev/full", L"certificate"));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
  EXPECT_FALSE(std::filesystem::exists("/dev/full.tmp"));
}
#endif

}  // namespace
}  // namespace tvde
