// The media builder's portable parts: line cutting of tool output, the WinPE start-up files byte
// for byte and the USB list entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text_matchers.h"
#include "winpe/image_contents.h"
#include "winpe/output_lines.h"
#include "winpe/usb_target.h"

namespace tvde {
namespace {

TEST(OutputLineCutter, CutsLinesWhateverTheChunks) {
  using namespace std::string_literals;
  const struct {
    std::vector<std::string> chunks, lines;
  } cases[] = {
      {{"a\r\nb\n\r\n"}, {"a", "b"}},
      {{"hel", "lo\r", "\nwor", "ld\n"}, {"hello", "world"}},
      {{"x\r\r\n", "y\rz\n"}, {"x\r", "y\rz"}},  // one CR removed, inner ones kept
      {{"\n\n\r\n", "\n"}, {}},
      {{"one\nla", "st"}, {"one", "last"}},  // the final line without terminator
      {{"last\r"}, {"last"}},
      {{"a\0b\n"s}, {"ab"}},
      {{"h\0i\0\r\0\n\0"s}, {"hi"}},  // UTF-16 ASCII stays readable
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    OutputLineCutter cutter([&lines](std::string_view line) { lines.emplace_back(line); });
    for (const std::string& chunk : c.chunks)
      cutter.Append(chunk);
    cutter.Finish();
    EXPECT_EQ(lines, c.lines) << ::testing::PrintToString(c.chunks);
  }
}

TEST(OutputLineCutter, PassesEachLineOnAsSoonAsItEnds) {
  std::vector<std::string> lines;
  OutputLineCutter cutter([&lines](std::string_view line) { lines.emplace_back(line); });
  cutter.Append("progress 10%\r\nprogress 2");
  EXPECT_EQ(lines, std::vector<std::string>{"progress 10%"});
  cutter.Append("0%\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"progress 10%", "progress 20%"}));
}

TEST(WinPEStartupFiles, AreExactAsciiWithCrLf) {
  EXPECT_EQ(ShellStartupFileText(),
            "[LaunchApps]\r\n%SYSTEMDRIVE%\\Windows\\System32\\wpeinit.exe\r\n"
            "\"X:\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe\"\r\n");
  EXPECT_EQ(ShellStartupFileText().size(), 120u);
  EXPECT_EQ(CommandStartupFileText(),
            "@echo off\r\nwpeinit\r\n"
            "start \"\" \"X:\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe\"\r\n");
  EXPECT_EQ(CommandStartupFileText().size(), 91u);
}

TEST(UsbTarget, ListEntryNamesDriveLabelAndSize) {
  EXPECT_EQ(testing::U8(RemovableDriveEntry(L"E:\\", L"", 16008609792ull)),
            "E: [USB Drive - 14.91 GB]");
  EXPECT_EQ(testing::U8(RemovableDriveEntry(L"F:\\", L"ブート", 0)), "F: [ブート - 0 B]");
}

}  // namespace
}  // namespace tvde
