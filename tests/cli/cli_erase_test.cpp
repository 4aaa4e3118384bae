// The erase command on image files: the image's bytes, the files written and a summary, reports
// and stamp that claim only what is true; the progress lines, exit codes and partial saves.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "base/file_system.h"
#include "base/unfinished_files.h"
#include "cli_erase_output.h"
#include "cli_interrupt.h"
#include "cli_test_fixture.h"
#include "job/erase_job_driver.h"
#include "job/report_output.h"
#include "report/utf8_file.h"

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
  // A line break in a name (where names may hold one) is shown as an escape, no line of its own.
  const bool breaks = kPathSeparator == L'/';
  const std::string name = breaks ? "disk\nFAKE.img" : "disk.img";
  const auto original = Fill(name, kMiB, 0x5A);
  const CliRun run = Cli({"erase", Path(name), "--standard", "zero-fill", "--out", Path("certs"),
                          "--operator", "鈴木 一郎", "--organization", "", "--notes", "no notes"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(Read(name), original);
  EXPECT_TRUE(!breaks || (Contains(run.out, "disk\\012FAKE") && !Contains(run.out, "\nFAKE")));
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(FilesIn("certs"), ReportNames(id));
  const std::string json = ReadText("certs/" + id + "_Report.json");
  EXPECT_TRUE(Contains(json, "\"operatorName\": \"鈴木 一郎\""));
  EXPECT_TRUE(Contains(json, "\"organizationName\": \"\""));  // given empty: not the settings'
  EXPECT_EQ(SummaryValue(run.out, "Status"),
            "SIMULATION — NO DATA ERASED (シミュレーション・未消去) [status 3]");
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
  const std::string unverified = SummaryValue(run.out, "Certificate ID");
  EXPECT_TRUE(Contains(ReadText("certs/" + unverified + "_Certificate.html"),
                       "<div class=\"badge\">" + badge + "</div>"));
  // An auditor's script: only a completed real erasure with a passed verification passes.
  EXPECT_EQ(Cli({"verify", Path("certs/" + unverified), "--require-erased"}).code, 1);

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
  EXPECT_EQ(Cli({"verify", Path("certs/" + id), "--require-erased"}).code, 0);
  InjectFaults([](testing::FaultDevice& device) { device.faults.failWriteAt = 2; });
  run = Cli({"erase", Path("disk.img"), "--real", "--no-stamp", "--out", Path("failed")});
  EXPECT_EQ(run.code, 1);
  const CliRun failed = Cli({"verify", Path("failed"), "--require-erased"});
  EXPECT_EQ(failed.code, 1);
  EXPECT_TRUE(Contains(failed.out,
                       "outcome        : real erasure, FAILED (エラー終了) [status 5], "
                       "verification WRITE ERROR"))
      << failed.out;
}

// A certificate folder that would not be the one meant, or cannot hold files, is refused before
// the target is even opened: cut to the 259 characters a setting holds, relative to wherever the
// program runs, on a device or virtual file system, or one that cannot be made.
TEST_F(CliErase, CertificateFoldersThatAreNotWhatTheyNameAreRefused) {
  Fill("disk.img", kMiB, 0x5A);
  services_.interposeDevice = [](std::unique_ptr<Device> opened) {
    ADD_FAILURE() << "the target was opened";
    return opened;
  };
  std::wstring folder;
  services_.loadSettings = [&folder](FolderCreation, std::wstring&) {
    AppSettings settings;
    settings.certOutputDir = folder;
    return settings;
  };
  const std::wstring deep = dir_.File(std::string(260, 'x'));
  for (const auto& [setting, message] :
       {std::pair(deep, "is longer than the 259 characters a setting holds"),
        {L"certs", "is not an absolute path (it would depend on the current folder)"},
        {kPathSeparator == L'/' ? L"/dev/certs" : L"\\\\.\\tvde-none", "holds no files: it is "},
        {dir_.File("disk.img/certs"), "cannot be made or written to; nothing was written"}}) {
    folder = setting;
    const CliRun run = Cli({"erase", Path("disk.img"), "--real", "--operator", "o"});
    EXPECT_EQ(run.code, 2) << message;
    EXPECT_TRUE(Contains(run.err, message)) << run.err;
  }
  EXPECT_EQ(FilesIn(""), std::set<std::string>{"disk.img"});
  EXPECT_FALSE(std::filesystem::exists("certs"));
}

#ifndef _WIN32
// A hard stop (a second Ctrl+C) while the reports are written ends the program at once and
// leaves no part of the set. The audit log's temporary name is a pipe nobody reads here, so the
// writer waits there with the certificate already in place.
TEST_F(CliErase, AHardStopWhileTheReportsAreWrittenLeavesNoPartOfTheSet) {
  ReportData report;
  report.certificateId = L"TVDE-20260101-000000-0000ABCD";
  report.config.outputFolder = dir_.File("certs");
  std::filesystem::create_directory(dir_.path() / "certs");
  const std::string id = WideToUtf8(report.certificateId);
  ASSERT_EQ(mkfifo(Path("certs/" + id + "_AuditLog.txt.tmp").c_str(), 0600), 0);
  const pid_t child = fork();
  if (child == 0) {
    CancelFlag cancel{0};
    const cli::InterruptScope interrupts(cancel);
    cli::RequestCancelFromInterrupt();  // the first Ctrl+C: the job is already stopping
    SaveReports(report);
    _exit(0);
  }
  for (int i = 0; i < 1000 && !Exists("certs/" + id + "_Certificate.html"); ++i)
    usleep(10000);
  kill(child, SIGTERM);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(FilesIn("certs"), std::set<std::string>{});
  // A writer that goes on while the stop removes the set puts nothing in place after it.
  const std::wstring late = dir_.File("certs/late.txt");
  if (fork() == 0) {
    const UnfinishedFiles guard({late});
    RemoveUnfinishedFiles();
    _exit(WriteUtf8File(late, L"x") ? 1 : 0);
  }
  wait(&status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(FilesIn("certs"), std::set<std::string>{});
}
#endif

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

// The time left counts the rest of the step, the passes after it and the read-backs the mode
// still asks for, at the current speed (1 MiB/s here, so seconds are MiB).
TEST(CliEraseOutput, TimeLeftCountsEveryStepStillToCome) {
  EraseJobConfig config;
  config.disk.sizeBytes = 100 * kMiB;
  EraseProgressInfo info = Progress(kPhaseOverwrite, 2, 40);
  info.speedMBps = 1.0;
  info.bytesDone = 40 * kMiB;
  info.bytesTotal = 100 * kMiB;
  // mode, phase, pass (0: the last read-back), seconds left
  const std::tuple<VerifyMode, int32_t, int32_t, int64_t> rows[] = {
      {VerifyMode::Quick, kPhaseOverwrite, 2, 60 + 100},
      {VerifyMode::Full, kPhaseOverwrite, 2, 60 + 100 + 100},
      {VerifyMode::EveryPass, kPhaseOverwrite, 2, 60 + 100 + 2 * 100},
      {VerifyMode::EveryPass, kPhaseVerify, 2, 60 + 2 * 100},
      {VerifyMode::Full, kPhaseVerify, 0, 60},
      {VerifyMode::Full, kPhaseFirmware, 0, -1},
  };
  for (const auto& [mode, phase, pass, seconds] : rows) {
    config.verifyMode = mode;
    info.phase = phase;
    info.currentPass = pass;
    EXPECT_EQ(cli::SecondsLeft(info, config), seconds) << static_cast<int>(mode) << phase;
  }
  info.phase = kPhaseOverwrite;
  info.currentPass = 2;
  info.speedMBps = 0;  // no speed yet
  EXPECT_EQ(cli::SecondsLeft(info, config), -1);
  info.speedMBps = 812.345;
  EXPECT_EQ(cli::FormatLiveProgress(info, 3723),
            "[PROGRESS] pass 2/3 | 40% | overall 47% | 812.3 MB/s | 1:02:03 left");
  info.phase = kPhaseVerify;
  EXPECT_EQ(cli::FormatLiveProgress(info, -1),
            "[PROGRESS] verify pass 2/3 | 40% | overall 47% | 812.3 MB/s | --:--:-- left");
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
