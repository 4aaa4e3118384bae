// What the erase command prints and answers: progress lines and their throttle, the exit code
// of each job outcome, and the reports a partial save names.
#include "cli_erase_output.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "cli.h"
#include "job/erase_job_driver.h"

namespace tvde {
namespace {

EraseProgressInfo Progress(int32_t phase, int32_t pass, int32_t percent) {
  EraseProgressInfo info;
  info.phase = phase;
  info.currentPass = pass;
  info.totalPasses = 3;
  info.passPercent = percent;
  info.overallPercent = 47;
  info.speedMBps = 812.345;
  info.statusText = L"Pass 2/3: Complement Pattern (0xFF)";
  return info;
}

TEST(CliEraseOutput, ProgressLinesAtMostOnePerSecondAndPercent) {
  EXPECT_EQ(WideToUtf8(cli::FormatProgress(Progress(kPhaseOverwrite, 2, 42))),
            "[PROGRESS] pass 2/3 | Pass 2/3: Complement Pattern (0xFF)  |  現在パス: 42%  |  "
            "全体進捗: 47%  |  処理速度: 812.3 MB/s");
  // phase, pass, percent, time, printed: the first record; moved too soon; moved a second
  // later; a second but no move; the end of a pass; again; a new pass; a new phase.
  const int64_t steps[][5] = {{1, 1, 0, 10000, 1},   {1, 1, 1, 10500, 0},   {1, 1, 3, 11000, 1},
                              {1, 1, 3, 15000, 0},   {1, 1, 100, 15001, 1}, {1, 1, 100, 15002, 0},
                              {1, 2, 100, 15003, 1}, {2, 2, 100, 15004, 1}};
  cli::ProgressThrottle throttle;
  for (const auto& s : steps) {
    const auto info = Progress(static_cast<int32_t>(s[0]), static_cast<int32_t>(s[1]),
                               static_cast<int32_t>(s[2]));
    EXPECT_EQ(throttle.ShouldPrint(info, static_cast<uint64_t>(s[3])), s[4] == 1) << s[3];
  }
}

ReportData Finished(int32_t status, const wchar_t* stamp, bool jsonWritten = true) {
  ReportData result;
  result.statusCode = status;
  result.config.executionMode = ExecutionMode::RealWrite;
  result.diskStampStatus = stamp;
  result.htmlPath = L"out/a.html";
  result.txtPath = L"out/a.txt";
  if (jsonWritten) result.jsonPath = L"out/a.json";
  return result;
}

TEST(CliEraseOutput, ExitCodeOfEachOutcome) {
  const cli::EraseRequest all;
  const cli::EraseRequest bare{false, false};
  const cli::EraseRequest stampOnly{false, true};
  const std::vector<std::tuple<ReportData, cli::EraseRequest, int>> outcomes = {
      {Finished(3, kStampActive), all, cli::kExitOk},
      {Finished(4, kStampNotStamped), all, cli::kExitCancelled},
      {Finished(5, kStampNotStamped), all, cli::kExitFailed},
      {Finished(3, kStampWriteSkipped), all, cli::kExitIncomplete},
      {Finished(3, kStampWriteSkipped), stampOnly, cli::kExitIncomplete},
      {Finished(3, kStampPureZero), bare, cli::kExitOk},
      {Finished(3, kStampActive, false), all, cli::kExitIncomplete},
      {Finished(3, kStampActive, false), bare, cli::kExitOk},  // no reports asked for
  };
  for (const auto& [result, request, code] : outcomes) {
    EXPECT_EQ(cli::EraseExitCode(result, request), code) << WideToUtf8(result.diskStampStatus);
  }
  // A partial save names exactly the files that exist.
  ReportData partial = Finished(3, kStampActive, false);
  partial.config.outputFolder = L"out";
  const std::string summary = cli::FormatSummary(partial, all);
  EXPECT_NE(summary.find("\nHTML certificate : out/a.html\nTXT audit log    : out/a.txt\nJSON "
                         "report      : NOT WRITTEN (could not write to out)\n"),
            std::string::npos)
      << summary;
}

}  // namespace
}  // namespace tvde
