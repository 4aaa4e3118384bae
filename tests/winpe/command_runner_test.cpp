// RunShellCommand under Wine with the real cmd.exe: reads, both streams, redirections, quoting,
// exit codes and a child reading its input. Line cutting itself is tested natively.
#include "winpe/command_runner.h"

#include <gtest/gtest.h>

#include "fake_winpe_machine.h"
#include "winpe/winpe_host.h"

namespace tvde {
namespace {

TEST(RunShellCommand, DeliversEachOutputLineOnceAndReportsTheExitCode) {
  testing::FakeWinPEMachine machine(testing::FakeAdk::kNone);
  machine.Write(L"{root}\\bin\\args.cmd|@echo [%*]");
  const std::string longLine(1500, 'x');  // several reads of at most 511 bytes
  const struct {
    std::wstring command;
    std::vector<std::string> lines;
    int32_t result;
  } cases[] = {
      {L"echo " + AsciiToWide(longLine), {"  " + longLine}, 0},
      {L"echo one& <nul set /p =tail", {"  one", "  tail"}, 0},  // no line end at the close
      {L"exit 0", {}, 0},
      {L"exit 1", {}, 1},
      {L"echo one&& echo two>&2&& echo three&& exit 3", {"  one", "  two", "  three"}, 1},
      {L"echo one&& echo two>&2&& echo three >nul 2>&1", {"  one", "  two"}, 0},
      {L"type no_such_file.txt 2>nul& echo one", {"  one"}, 1},
      {machine.X(L"\"{root}\\bin\\args.cmd\" \"arg one\" plain \"last arg\""),
       {"  [\"arg one\" plain \"last arg\"]"},
       0},
      // The builder's own forms: '#' and '&' inside quotes, a quoted value after a switch.
      {machine.X(LR"("{root}\bin\args.cmd" -b:2#p0,e,b"a b"#pEF "A & B" /d "x" /f)"),
       {R"(  [-b:2#p0,e,b"a b"#pEF "A & B" /d "x" /f])"},
       0},
      {L"set /p line=& echo no input, no wait& exit 0", {"  no input, no wait"}, 0},
      // '%' is kept; tools start in the system folder and are never looked for there.
      {L"echo \"C:\\%PATH%\\a\" 100%", {"  \"C:\\%PATH%\\a\" 100%"}, 0},
      {L"set NoDefaultCurrentDirectoryInExePath& cd",
       {"  NoDefaultCurrentDirectoryInExePath=1",
        "  " + WideToUtf8(DefaultWinPEHost().systemFolder)},
       0},
  };
  for (const auto& c : cases) {
    std::vector<std::string> lines;
    const int32_t result = RunShellCommand(
        c.command, [&lines](const std::wstring& line) { lines.push_back(WideToUtf8(line)); });
    EXPECT_EQ(lines, c.lines) << WideToUtf8(c.command).substr(0, 80);
    EXPECT_EQ(result, c.result) << WideToUtf8(c.command).substr(0, 80);
  }
  EXPECT_EQ(RunShellCommand(L"echo ignored&& exit 2", {}), 1);  // without a log, same result
}

}  // namespace
}  // namespace tvde
