// The erase command run in-process on image files: simulation and real jobs, the stamp, the
// reports, cancellation and a write error, checked on the bytes of the image and the files
// written, and that the summary, the reports and the stamp claim only what is true of them.
#include <gtest/gtest.h>

#include "cli_test_fixture.h"
#include "erase/disk_error_text.h"

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
  EXPECT_EQ(FilesIn("certs"), ReportNames(id));
  const std::string json = ReadText("certs/" + id + "_Report.json");
  EXPECT_TRUE(Contains(json, "\"operatorName\": \"鈴木 一郎\""));
  EXPECT_TRUE(Contains(json, "\"organizationName\": \"\""));  // given empty: not the settings'
  EXPECT_EQ(SummaryValue(run.out, "Status"), "COMPLETED & VERIFIED (完全消去済) [status 3]");
  EXPECT_EQ(SummaryValue(run.out, "Bytes written"), "0");
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
  // No --out, --operator or --organization: the settings give the folder and the names.
  EXPECT_EQ(settingsLoads_, 1);
  EXPECT_EQ(settingsCreation_, FolderCreation::Allowed);  // its folder takes the reports
  EXPECT_EQ(FilesIn("settings-certs"), ReportNames(id));
  const std::string json = ReadText("settings-certs/" + id + "_Report.json");
  EXPECT_TRUE(Contains(json, "\"operatorName\": \"設定 オペレーター\""));
  EXPECT_TRUE(Contains(json, "\"organizationName\": \"Settings Org\""));
}

TEST_F(CliErase, CancellationAndAWriteErrorSayWhereTheyStopped) {
  Fill("disk.img", 8 * kMiB, 0x22);
  // Pass 1 of the three DoD passes writes chunks 1 and 2; the flag rises during chunk 3.
  InjectFaults([this](FaultDevice& device) {
    device.faults.beforeWrite = [this](int32_t write) {
      if (write == 3) cancel_.store(1);
    };
  });
  CliRun run =
      Cli({"erase", Path("disk.img"), "--real", "--standard", "dod", "--out", Path("certs")});
  EXPECT_EQ(run.code, 3) << run.out;
  EXPECT_EQ(SummaryValue(run.out, "Verification"), "CANCELLED BY USER");
  EXPECT_EQ(SummaryValue(run.out, "Passes"), "1 of 3");
  EXPECT_EQ(SummaryValue(run.out, "Bytes written"), std::to_string(12 * kMiB));
  EXPECT_TRUE(Contains(run.out, "] [ABORT] ユーザーにより緊急停止シグナルが送信されました。"));
  EXPECT_EQ(FilesIn("certs"), ReportNames(SummaryValue(run.out, "Certificate ID")));
  auto image = Read("disk.img");
  EXPECT_EQ(image[0], 0xFF);         // pass 2 (0xFF) wrote its first chunk
  EXPECT_EQ(image[4 * kMiB], 0x00);  // and stopped before its second

  // A failed write says where and why.
  cancel_.store(0);
  InjectFaults([](FaultDevice& device) { device.faults.failWriteAt = 2; });
  run = Cli({"erase", Path("disk.img"), "--real", "--standard", "2", "--no-reports"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(SummaryValue(run.out, "Verification"), "WRITE ERROR");
  EXPECT_TRUE(Contains(run.out,
                       "] [ERROR] 書き込みに失敗しました (オフセット 4194304 バイト, "
                       "Pass 1/1: Zero Fill (0x00)): " +
                           WideToUtf8(DescribeDiskError(5)) + "\n"))
      << run.out;
}

TEST_F(CliErase, ClaimsOnlyWhatIsTrueOfTheImage) {
  const auto original = Fill("disk.img", 2 * kMiB, 0x5A);
  Fill("file", 1, 0);
  // A certificate folder that cannot take the reports stops the job before the image is opened.
  CliRun run = Cli({"erase", Path("disk.img"), "--real", "--out", Path("file") + "/certs"});
  EXPECT_EQ(run.code, 2);
  EXPECT_EQ(SummaryValue(run.out, "Error"),
            "証明書・監査ログの保存先フォルダーを作成または書き込みできないため、消去を開始しませ"
            "んでした。保存先: " +
                Path("file") + "/certs");
  EXPECT_EQ(Read("disk.img"), original);

  // A skipped verification is not called verified: summary, certificate and boot screen.
  run = Cli({"erase", Path("disk.img"), "--real", "--standard", "zero-fill", "--verify", "none",
             "--out", Path("certs")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  const std::string badge = "COMPLETED, UNVERIFIED (完全消去済・検証なし)";
  EXPECT_EQ(SummaryValue(run.out, "Status"), badge + " [status 3]");
  std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_TRUE(Contains(ReadText("certs/" + id + "_Certificate.html"),
                       "<div class=\"badge\">" + badge + "</div>"));
  EXPECT_EQ(testing::CString(Read("disk.img"), 0x50),
            "\r\n[TOREVAL DISK ERASER] SANITIZED, UNVERIFIED. Cert: " + id + "\r\n");

  // No stamp after a random last pass: nothing anywhere calls the disk zeroes. "ERASE" in any
  // case, as the program's code field takes it; the settings create no folder of theirs.
  run = Cli({"erase", Path("disk.img"), "--real", "--standard", "RANDOM", "--no-stamp", "--out",
             Path("certs"), "--confirm", "erase " + Path("disk.img")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(settingsCreation_, FolderCreation::None);
  EXPECT_EQ(FilesIn(""), (std::set<std::string>{"certs", "disk.img", "file"}));
  EXPECT_TRUE(Contains(run.out, "  After erasure : no stamp; the data of the last pass stays"));
  EXPECT_EQ(SummaryValue(run.out, "Disk stamp"), "NOT STAMPED");
  id = SummaryValue(run.out, "Certificate ID");
  for (const std::string& text :
       {run.out, ReadText("certs/" + id + "_Certificate.html"),
        ReadText("certs/" + id + "_Report.json"), ReadText("certs/" + id + "_AuditLog.txt")}) {
    for (const char* claim : {"PURE ZERO", "0x00・未初期化", "全セクタ 0x00 完全"})
      EXPECT_FALSE(Contains(text, claim)) << claim << " in " << text;
  }
  EXPECT_FALSE(AllZero(Read("disk.img"), 0, 2 * kMiB));
}

}  // namespace
}  // namespace tvde
