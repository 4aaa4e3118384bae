// RunShellCommand under Wine with the real cmd.exe: reads, streams, redirections, quoting, exit
// codes and a child reading its (absent) input. Line cutting itself is tested natively.
#include "winpe/command_runner.h"

#include <gtest/gtest.h>

#include "fake_winpe_machine.h"

namespace tvde {
namespace {

TEST(RunShellCommand, DeliversEachOutputLineOnceAndReportsTheExitCode) {
  testing::FakeWinPEMachine machine(testing::FakeAdk::kNone);  // the helper, in "bin with blanks"
  const std::wstring tool = L"\"" + machine.X(L"{root}\\bin\\tvde_fake_tool.exe") + L"\"";
  testing::fs::copy_file(ProgramDirectory() + L"\\tvde_fake_tool.exe",
                         tool.substr(1, tool.size() - 2));
  std::wstring longLine;
  for (int i = 0; i < 1500; ++i)
    longLine += L"78";  // 1500 times 'x', beyond one 511-byte read
  const struct {
    std::wstring command;
    std::vector<std::string> lines;
    int32_t result;
  } cases[] = {
      {tool + L" bytes " + longLine + L"0d0a", {"  " + std::string(1500, 'x')}, 0},
      {tool + L" bytes 6f6e650d0a 7461696c", {"  one", "  tail"}, 0},  // no final line end
      {L"exit 0", {}, 0},
      {L"exit 1", {}, 1},
      {L"echo one&& echo two>&2&& echo three&& exit 3", {"  one", "  two", "  three"}, 1},
      {L"echo one&& echo two>&2&& echo three >nul 2>&1", {"  one", "  two"}, 0},
      {L"type no_such_file.txt 2>nul& echo one", {"  one"}, 1},
      {tool + L" echo \"arg one\" plain \"last arg\"", {"  [\"arg one\" plain \"last arg\"]"}, 0},
      {tool + L" stdin", {"  stdin: none"}, 0},
      {tool + L" bytes 61 && exit 2", {"  a"}, 1},
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
