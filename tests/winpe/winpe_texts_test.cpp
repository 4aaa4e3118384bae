// The media builder's portable parts: line cutting of tool output, the start-up files byte for
// byte and the USB list entry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/text_matchers.h"
#include "winpe/adk_layout.h"
#include "winpe/command_runner.h"
#include "winpe/image_contents.h"
#include "winpe/media_program.h"
#include "winpe/output_lines.h"
#include "winpe/usb_target.h"
#include "winpe/winpe_build_commands.h"

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

TEST(PeImageMachine, ReadsTheMachineBehindThePeSignature) {
  using namespace std::string_literals;
  const std::string dos = "MZ"s + std::string(0x3A, '\0');
  EXPECT_EQ(PeImageMachine(dos + "\x40\0\0\0PE\0\0\x4C\x01"s), kPeMachineI386);
  EXPECT_EQ(PeImageMachine(dos + "\x48\0\0\0........PE\0\0\x64\x86rest"s), kPeMachineAmd64);
  for (const std::string& other : {dos + "\x40\0\0\0PE\0\0\x4C"s, dos + "\x40\0\0\0NE\0\0\x4C\x01"s,
                                   dos + "\xFF\xFF\xFF\xFFPE\0\0\x4C\x01"s, "x64 program"s})
    EXPECT_EQ(PeImageMachine(other), kPeMachineNone) << ::testing::PrintToString(other);
}

// The tools' environment (the runner's test runs it), DISM's mounts by folder, ADK builds.
TEST(ShellCommand, KeepsPercentSignsAndNeverSearchesTheCurrentFolder) {
  EXPECT_EQ(ToolEnvironment({L"Path=C:\\w", L"=C:=C:\\x", L"NODEFAULTCURRENTDIRECTORYINEXEPATH=",
                             L"ALLUSERSPROFILE=C:\\p"}),
            (std::vector<std::wstring>{L"=C:=C:\\x", L"ALLUSERSPROFILE=C:\\p",
                                       L"NoDefaultCurrentDirectoryInExePath=1", L"Path=C:\\w"}));
  EXPECT_FALSE(MountListNamesFolder({L"  Mount Dir : C:\\work\\mount"}, L"C:\\work"));
  EXPECT_FALSE(AdkVersionsDiffer(L"10.0.28000.1", L"10.0.28000.1000"));
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
