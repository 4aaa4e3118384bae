// The erase command run in-process on image files: simulation and real jobs, the stamp, the
// three reports, cancellation and the settings defaults, checked on the bytes of the image and
// the files written. Write, open and report failures are the job's own tests, their exit codes
// and summaries those of the erase output.
#include <gtest/gtest.h>

#include <regex>

#include "base/file_system.h"
#include "cli_test_fixture.h"
#include "job/erase_job_driver.h"
#include "support/fault_device.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::CliFixture;
using testing::CliRun;
using testing::Contains;
using testing::FaultDevice;
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
  ASSERT_EQ(id.size(), 29u) << run.out;
  EXPECT_EQ(FilesIn("certs"), ReportNames(id));
  const std::string json = ReadText("certs/" + id + "_Report.json");
  EXPECT_TRUE(Contains(json, "\"executionMode\": \"SimulationDryRun\""));
  EXPECT_TRUE(Contains(json, "\"operatorName\": \"鈴木 一郎\""));
  EXPECT_TRUE(Contains(json, "\"organizationName\": \"\""));  // given empty: not the settings'
  EXPECT_TRUE(
      Contains(json, "\"sha256Fingerprint\": \"" + SummaryValue(run.out, "SHA-256") + "\""));
  EXPECT_TRUE(
      Contains(json,
               "\"diskStampStatus\": \"STAMPED (Simulation Verified - Bootable Report Stamp & "
               "Hardware Profile Ready)\""));

  // Every log line carries the local time stamp of the program's console.
  const std::regex stamped(
      R"(\n\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] \[SIMULATION\] 開始: Pass 1/1: Zero Fill \(0x00\)\n)");
  EXPECT_TRUE(std::regex_search(run.out, stamped)) << run.out;
  EXPECT_TRUE(Contains(run.out,
                       "] [PROGRESS] pass 1/1 | [安全シミュレーション] Pass 1/1: Zero Fill "
                       "(0x00)  |  現在パス: 100%  |  全体進捗: 100%  |  処理速度: "));
  EXPECT_EQ(SummaryValue(run.out, "Status"), "COMPLETED & VERIFIED (完全消去済) [status 3]");
  EXPECT_EQ(SummaryValue(run.out, "Mode"), "Simulation (Dry-Run)");
  EXPECT_EQ(SummaryValue(run.out, "HTML certificate"),
            Path("certs") + static_cast<char>(kPathSeparator) + id + "_Certificate.html");
  EXPECT_TRUE(run.err.empty()) << run.err;
  // Read once, for the signing key only, creating no folder: the names and the folder are the
  // command line's.
  EXPECT_EQ(settingsLoads_, 1);
  EXPECT_EQ(settingsCreation_, FolderCreation::None);
}

TEST_F(CliErase, RealPurgeLeavesThePartialSectorAloneAndTakesTheSettingsDefaults) {
  // 3 MiB and a tail of 100 bytes that is no whole sector. Purge: TRIM, random, then zeroes.
  Fill("disk.img", 3 * kMiB + 100, 0xC3);
  const CliRun run =
      Cli({"erase", Path("disk.img"), "--real", "--standard", "0", "--verify", "full"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(
      run.out, "the last 100 bytes of '" + Path("disk.img") + "' are less than one sector"));

  const auto image = Read("disk.img");
  ASSERT_EQ(image.size(), 3 * kMiB + 100);
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(testing::Bytes(image, 512, 15 + id.size()), "TVDE_STAMP_V2|" + id + "|");
  EXPECT_TRUE(AllZero(image, kStampBytes, 3 * kMiB));
  EXPECT_EQ(image[3 * kMiB], 0xC3);  // the partial sector at the end is left alone
  EXPECT_EQ(image.back(), 0xC3);

  // No --out, --operator or --organization: the settings give the folder and the names.
  EXPECT_EQ(settingsLoads_, 1);
  EXPECT_EQ(FilesIn("settings-certs"), ReportNames(id));
  const std::string json = ReadText("settings-certs/" + id + "_Report.json");
  EXPECT_TRUE(Contains(json, "\"operatorName\": \"設定 オペレーター\""));
  EXPECT_TRUE(Contains(json, "\"organizationName\": \"Settings Org\""));
  EXPECT_EQ(SummaryValue(run.out, "Bytes written"), std::to_string(2 * 3 * kMiB));
  EXPECT_EQ(SummaryValue(run.out, "Mode"), "Physical Hardware Erase");
}

TEST_F(CliErase, NoStampLeavesEveryByteZeroAndNoReportsWritesNoFile) {
  Fill("disk.img", 2 * kMiB, 0xE7);
  // "ERASE" in any case, as the program's code field takes it.
  const CliRun run =
      Cli({"erase", Path("disk.img"), "--real", "--standard", "ZERO-FILL", "--no-stamp",
           "--no-reports", "--verify", "none", "--confirm", "erase " + Path("disk.img")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  const auto image = Read("disk.img");
  ASSERT_EQ(image.size(), 2 * kMiB);
  EXPECT_TRUE(AllZero(image, 0, image.size()));
  EXPECT_FALSE(Exists("settings-certs"));
  EXPECT_EQ(FilesIn(""), std::set<std::string>{"disk.img"});
  EXPECT_EQ(SummaryValue(run.out, "Reports"), "disabled (--no-reports)");
  EXPECT_EQ(SummaryValue(run.out, "Disk stamp"),
            "PURE ZERO WIPED (スタンプなし・全セクタ 0x00 完全未初期化状態)");
  EXPECT_EQ(SummaryValue(run.out, "SHA-256").size(), 64u);  // the fingerprint is still given
}

TEST_F(CliErase, CancellationStopsWithinAChunkAndExitsWithItsOwnCode) {
  Fill("disk.img", 8 * kMiB, 0x22);
  // Pass 1 of the three DoD passes writes chunks 1 and 2; the flag rises during chunk 3.
  InjectFaults([this](FaultDevice& device) {
    device.faults.beforeWrite = [this](int32_t write) {
      if (write == 3) cancel_.store(1);
    };
  });
  const CliRun run =
      Cli({"erase", Path("disk.img"), "--real", "--standard", "dod", "--out", Path("certs")});
  EXPECT_EQ(run.code, 3) << run.out;
  EXPECT_EQ(SummaryValue(run.out, "Status"), "CANCELLED (中断) [status 4]");
  EXPECT_EQ(SummaryValue(run.out, "Verification"), "CANCELLED BY USER");
  EXPECT_EQ(SummaryValue(run.out, "Passes"), "1 of 3");
  EXPECT_TRUE(Contains(run.out, "] [ABORT] ユーザーにより緊急停止シグナルが送信されました。"));
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(FilesIn("certs"), ReportNames(id));
  const auto image = Read("disk.img");
  EXPECT_EQ(image[0], 0xFF);         // pass 2 (0xFF) wrote its first chunk
  EXPECT_EQ(image[4 * kMiB], 0x00);  // and stopped before its second
}

}  // namespace
}  // namespace tvde
