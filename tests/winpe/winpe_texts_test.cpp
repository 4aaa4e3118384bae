// The media builder's portable parts: line cutting of tool output, the start-up files byte for
// byte and the USB list entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text_matchers.h"
#include "winpe/image_contents.h"
#include "winpe/output_lines.h"
#include "winpe/usb_target.h"

namespace tvde {
namespace {

// Each line comes with the number of the chunk whose arrival passed it on (9: the end of output).
TEST(OutputLineCutter, CutsLinesWhateverTheChunksAndPassesThemOnAtOnce) {
  using namespace std::string_literals;
  using Lines = std::vector<std::pair<int, std::string>>;
  const struct {
    std::vector<std::string> chunks;
    Lines lines;
  } cases[] = {
      {{"a\r\nb\n\r\n"}, {{0, "a"}, {0, "b"}}},
      {{"hel", "lo\r", "\nwor", "ld\n"}, {{2, "hello"}, {3, "world"}}},
      {{"x\r\r\n", "y\rz\n"}, {{0, "x\r"}, {1, "y\rz"}}},  // one CR removed, inner ones kept
      {{"\n\n\r\n", "\n"}, {}},
      {{"one\nla", "st"}, {{0, "one"}, {9, "last"}}},  // the final line without terminator
      {{"last\r"}, {{9, "last"}}},
      {{"h\0i\0\r\0\n\0"s}, {{0, "hi"}}},  // UTF-16 ASCII stays readable
  };
  for (const auto& c : cases) {
    Lines lines;
    int chunk = 0;
    OutputLineCutter cutter([&](std::string_view line) { lines.emplace_back(chunk, line); });
    for (; chunk < static_cast<int>(c.chunks.size()); ++chunk)
      cutter.Append(c.chunks[static_cast<size_t>(chunk)]);
    chunk = 9;
    cutter.Finish();
    EXPECT_EQ(lines, c.lines) << ::testing::PrintToString(c.chunks);
  }
}

TEST(WinPEStartupFiles, AreExactAsciiWithCrLf) {
  EXPECT_EQ(ShellStartupFileText(),
            "[LaunchApps]\r\n%SYSTEMDRIVE%\\Windows\\System32\\wpeinit.exe\r\n"
            "\"X:\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe\"\r\n");
  EXPECT_EQ(CommandStartupFileText(),
            "@echo off\r\nwpeinit\r\n"
            "start \"\" \"X:\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe\"\r\n");
}

TEST(UsbTarget, ListEntryNamesDriveLabelAndSize) {
  EXPECT_EQ(testing::U8(RemovableDriveEntry(L"E:\\", L"", 16008609792ull)),
            "E: [USB Drive - 14.91 GB]");
  EXPECT_EQ(testing::U8(RemovableDriveEntry(L"F:\\", L"ブート", 0)), "F: [ブート - 0 B]");
}

}  // namespace
}  // namespace tvde
