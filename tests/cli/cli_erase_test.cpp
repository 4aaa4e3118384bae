// The erase command on image files: the image's bytes, the files written and a summary, reports
// and stamp that claim only what is true; the progress lines, exit codes and partial saves.
#include <gtest/gtest.h>

#include "cli_erase_output.h"
#include "cli_test_fixture.h"
#include "job/erase_job_driver.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::CliFixture;
using testing::CliRun;
using testing::Contains;
using testing::SummaryValue;

constexpr size_t kMiB = 1024 * 1024;
constexpr size_t kStampBytes = 131072;

class CliErase : public CliFixture {
 protected:
  // The three file names of one certificate ID.
  static std::set<std::string> ReportNames(const std::string& id) {
    return {id + "_Certificate.html", id + "_AuditLog.txt", id + "_Report.json"};
  }
};

TEST_F(CliErase, SimulationLeavesTheImageAloneAndWritesThreeReports) {
  const auto original = Fill("disk.img", kMiB, 0x5A);
  const CliRun run =
      Cli({"erase", Path("disk.img"), "--standard", "zero-fill", "--out", Path("certs"),
           "--operator", "鈴木 一郎", "--organization", "", "--notes", "no notes"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(Read("disk.img"), original);
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(FilesIn("certs"), ReportNames(id));
  const std::string json = ReadText("certs/" + id + "_Report.json");
  EXPECT_TRUE(Contains(json, "\"operatorName\": \"鈴木 一郎\""));
  EXPECT_TRUE(Contains(json, "\"organizationName\": \"\""));  // given empty: not the settings'
  EXPECT_EQ(SummaryValue(run.out, "Status"), "COMPLETED & VERIFIED (完全消去済) [status 3]");
  EXPECT_EQ(SummaryValue(run.out, "Bytes written"), "0");
  EXPECT_TRUE(run.err.empty()) << run.err;
  // Read once, for the signing key only, creating no folder.
  EXPECT_EQ(settingsLoads_, 1);
  EXPECT_EQ(settingsCreation_, FolderCreation::None);
}

TEST_F(CliErase, RealPurgeLeavesThePartialSectorAloneAndTakesTheSettingsDefaults) {
  // 3 MiB and a tail of 100 bytes that is no whole sector. Purge: TRIM, random, then zeroes,
  // each read back whole.
  Fill("disk.img", 3 * kMiB + 100, 0xC3);
  const CliRun run =
      Cli({"erase", Path("disk.img"), "--real", "--standard", "0", "--verify", "every-pass"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(SummaryValue(run.out, "Verified"),
            "every pass: full surface, 6,144 sectors each, compared with pass 1 (random stream), "
            "pass 2 (0x00) and the partition-table areas with 0x00");
  EXPECT_TRUE(Contains(
      run.out, "the last 100 bytes of '" + Path("disk.img") + "' are less than one sector"));
  const auto image = Read("disk.img");
  ASSERT_EQ(image.size(), 3 * kMiB + 100);
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(testing::Bytes(image, 512, 15 + id.size()), "TVDE_STAMP_V2|" + id + "|");
  EXPECT_TRUE(AllZero(image, kStampBytes, 3 * kMiB));
  EXPECT_EQ(image[3 * kMiB], 0xC3);  // the partial sector at the end is left alone
  // No --out, --operator or --organization: the settings give the folder and the names.
  EXPECT_EQ(settingsLoads_, 1);
  EXPECT_EQ(settingsCreation_, FolderCreation::Allowed);  // its folder takes the reports
  EXPECT_EQ(FilesIn("settings-certs"), ReportNames(id));
  const std::string json = ReadText("settings-certs/" + id + "_Report.json");
  EXPECT_TRUE(Contains(json, "\"operatorName\": \"設定 オペレーター\""));
  EXPECT_TRUE(Contains(json, "\"organizationName\": \"Settings Org\""));
}

TEST_F(CliErase, ClaimsOnlyWhatIsTrueOfTheImage) {
  Fill("disk.img", 2 * kMiB, 0x5A);
  // A skipped verification is not called verified: summary and certificate (the boot screens
  // are the job's tests).
  CliRun run = Cli({"erase", Path("disk.img"), "--real", "--standard", "zero-fill", "--verify",
                    "none", "--out", Path("certs")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  const std::string badge = "COMPLETED, UNVERIFIED (完全消去済・検証なし)";
  EXPECT_EQ(SummaryValue(run.out, "Status"), badge + " [status 3]");
  EXPECT_TRUE(
      Contains(ReadText("certs/" + SummaryValue(run.out, "Certificate ID") + "_Certificate.html"),
               "<div class=\"badge\">" + badge + "</div>"));

  // No stamp after a random last pass: nothing anywhere calls the disk zeroes. "ERASE" in any
  // case, as the program's code field takes it; the settings create no folder of theirs.
  run = Cli({"erase", Path("disk.img"), "--real", "--standard", "RANDOM", "--no-stamp", "--out",
             Path("certs"), "--confirm", "erase " + Path("disk.img")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(settingsCreation_, FolderCreation::None);
  EXPECT_EQ(FilesIn(""), (std::set<std::string>{"certs", "disk.img"}));
  EXPECT_TRUE(Contains(run.out, "  After erasure : no stamp; the data of the last pass stays"));
  EXPECT_EQ(SummaryValue(run.out, "Disk stamp"), "NOT STAMPED");
  const std::string id = SummaryValue(run.out, "Certificate ID");
  for (const std::string& text :
       {run.out, ReadText("certs/" + id + "_Certificate.html"),
        ReadText("certs/" + id + "_Report.json"), ReadText("certs/" + id + "_AuditLog.txt")}) {
    for (const char* claim : {"PURE ZERO", "0x00・未初期化", "全セクタ 0x00 完全"})
      EXPECT_FALSE(Contains(text, claim)) << claim << " in " << text;
  }
  EXPECT_FALSE(AllZero(Read("disk.img"), 0, 2 * kMiB));
}

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
  // phase, pass, percent, time, printed: first; too soon; a second later; no move; end of a
  // pass; again; a new pass; a new phase.
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
  const std::vector<std::tuple<ReportData, cli::EraseRequest, int>> outcomes = {
      {Finished(3, kStampActive), all, cli::kExitOk},
      {Finished(4, kStampNotStamped), all, cli::kExitCancelled},
      {Finished(5, kStampNotStamped), all, cli::kExitFailed},
      {Finished(3, kStampWriteSkipped), all, cli::kExitIncomplete},
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
