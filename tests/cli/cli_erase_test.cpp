// The erase command run in-process on image files: simulation and real jobs, the stamp, the
// reports, cancellation, a write error, and settings files that cannot be used, checked on the
// bytes of the image and the files written.
#include <gtest/gtest.h>

#include "base/system_error.h"
#include "cli_test_fixture.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

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
  EXPECT_TRUE(run.err.empty()) << run.err;
  EXPECT_EQ(settingsLoads_, 0);  // the command line gave everything the settings would
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
  EXPECT_EQ(FilesIn("settings-certs"), ReportNames(id));
  const std::string json = ReadText("settings-certs/" + id + "_Report.json");
  EXPECT_TRUE(Contains(json, "\"operatorName\": \"設定 オペレーター\""));
  EXPECT_TRUE(Contains(json, "\"organizationName\": \"Settings Org\""));
}

TEST_F(CliErase, CancellationAWriteErrorAndAPlainZeroFill) {
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
                           WideToUtf8(DescribeSystemError(5)) + "\n"))
      << run.out;

  // Without faults, stamp or reports: every byte zero, and no other file. "ERASE" in any
  // case, as the program's code field takes it.
  services_.interposeDevice = nullptr;
  run = Cli({"erase", Path("disk.img"), "--real", "--standard", "ZERO-FILL", "--no-stamp",
             "--no-reports", "--verify", "none", "--confirm", "erase " + Path("disk.img")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(Read("disk.img"), std::vector<uint8_t>(8 * kMiB, 0));
  EXPECT_EQ(FilesIn(""), (std::set<std::string>{"certs", "disk.img"}));
}

#ifndef _WIN32
TEST_F(CliErase, UnusableSettingsFilesGiveTheDefaultsWithAWarning) {
  // A pipe used to hang the program, a folder to abort it, /dev/zero to fill the memory. (The
  // program prints the warning: the swapped-target script sees it.)
  const std::string ini = Path("settings.ini");
  const std::vector<std::pair<std::function<void()>, std::string>> files = {
      {[&] { ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0); }, "is not a regular file"},
      {[&] { std::filesystem::create_directory(ini); }, "is not a regular file"},
      {[&] { std::filesystem::create_symlink("/dev/zero", ini); }, "is not a regular file"},
      {[&] { Fill("settings.ini", kMaxSettingsFileBytes + 1, '#'); }, "is larger than 1 MiB"},
  };
  for (const auto& [make, why] : files) {
    std::filesystem::remove_all(ini);
    make();
    std::wstring warning;
    EXPECT_EQ(LoadSettingsFrom({Utf8ToWide(ini), L""}, warning).operatorName, L"Toreval");
    EXPECT_EQ(WideToUtf8(warning),
              "the settings file " + ini + " " + why + "; the defaults are used");
  }
}
#endif

}  // namespace
}  // namespace tvde
