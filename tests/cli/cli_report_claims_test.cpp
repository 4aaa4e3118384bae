// What the console tool claims, checked against the image and the report folder: output
// folders and stamp fields it cannot honour refused before anything is written, "0x00" and
// "verified" only where true, the bytes really written, stamps that read back, and settings
// that create folders only where the reports go.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "cli_test_fixture.h"

namespace tvde {
namespace {

using testing::CliFixture;
using testing::CliRun;
using testing::Contains;
using testing::CString;
using testing::FaultDevice;
using testing::SummaryValue;

constexpr size_t kMiB = 1024 * 1024;

class CliClaims : public CliFixture {
 protected:
  std::string Report(const std::string& id, const char* suffix) {
    return ReadText("certs/" + id + suffix);
  }
};

TEST_F(CliClaims, WhatCannotBeHonouredIsRefusedBeforeAnythingIsWritten) {
  const auto original = Fill("disk.img", 2 * kMiB, 0x5A);
  Fill("file", 1, 0);
  const std::string disk = Path("disk.img");
  const std::string longId(3000, 'I');
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"erase", disk, "--real", "--out", "certs-\xFF\xFE"}, "--out is not valid UTF-8"},
      // Found by the job before it opens the disk.
      {{"erase", disk, "--real", "--standard", "zero-fill", "--out", Path("file") + "/certs"},
       "Error            : 証明書・監査ログの保存先フォルダーを作成または書き込みできないため、"
       "消去を開始しませんでした。保存先: " +
           Path("file") + "/certs"},
      {{"stamp-write", "--out", Path("new.img"), "--field", "incomplete=1"},
       "'incomplete' cannot be stored in a stamp, which always reads back with incomplete=0"},
      {{"stamp-write", "--out", Path("new.img"), "--field", "stampState=Pure Zero Wiped"},
       "always reads back with stampState=Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)"},
      {{"stamp-write", "--out", Path("new.img"), "--field", "softwareVersion=Other 2.0"},
       "always reads back with softwareVersion=Toreval Disk Eraser Suite v1.3.0"},
      {{"stamp-write", "--out", Path("new.img"), "--field", "certificateId=A|B"},
       "the certificateId cannot be stored whole in the stamp record"},
      {{"stamp-write", "--out", Path("new.img"), "--field", "certificateId=" + longId},
       "the certificateId cannot be stored whole in the stamp record"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args.back());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(Contains(run.out + run.err, message)) << run.out << run.err;
    EXPECT_EQ(Read("disk.img"), original);
    EXPECT_FALSE(Exists("new.img"));
    EXPECT_FALSE(Exists("settings-certs"));
  }
  EXPECT_EQ(FilesIn(""), (std::set<std::string>{"disk.img", "file"}));
}

TEST_F(CliClaims, ASkippedVerificationIsNotCalledVerifiedOnCertificateOrStamp) {
  Fill("disk.img", 2 * kMiB, 0x5A);
  const CliRun run = Cli({"erase", Path("disk.img"), "--real", "--standard", "zero-fill",
                          "--verify", "none", "--out", Path("certs")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  const std::string badge = "COMPLETED, UNVERIFIED (完全消去済・検証なし)";
  EXPECT_EQ(SummaryValue(run.out, "Status"), badge + " [status 3]");
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_TRUE(
      Contains(Report(id, "_Certificate.html"), "<div class=\"badge\">" + badge + "</div>"));
  EXPECT_FALSE(Contains(Report(id, "_Certificate.html"), "VERIFIED (完全消去済)"));

  const auto image = Read("disk.img");
  EXPECT_EQ(CString(image, 0x50),
            "\r\n[TOREVAL DISK ERASER] SANITIZED, UNVERIFIED. Cert: " + id + "\r\n");
  EXPECT_TRUE(
      CString(image, 0xA60)
          .starts_with(
              " TOREVAL DISK ERASER - SANITIZATION & HARDWARE REPORT  [SANITIZED, UNVERIFIED]\r\n"));
  // Both report programs carry the same status in their block.
  const std::string bytes(image.begin(), image.end());
  for (size_t at = bytes.find("TVDE_EFI_STAMP_V2_MAGIC"), found = 0; found < 2;
       at = bytes.find("TVDE_EFI_STAMP_V2_MAGIC", at + 1), ++found) {
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(CString(image, at + 120), "SANITIZED, UNVERIFIED");
  }
}

TEST_F(CliClaims, NoStampAfterARandomLastPassIsNotCalledAllZeroes) {
  EXPECT_TRUE(Contains(Cli({"help"}).out,
                       "--no-stamp   write no report stamp; the disk then ends all zeroes only "
                       "with a\n                     standard whose last pass writes zeros "
                       "(nist-purge, nist-clear, zero-fill, gutmann)\n"));
  Fill("disk.img", 2 * kMiB, 0x5A);
  const CliRun run = Cli({"erase", Path("disk.img"), "--real", "--standard", "random", "--no-stamp",
                          "--out", Path("certs")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_TRUE(Contains(run.out, "  After erasure : no stamp; the data of the last pass stays"));
  EXPECT_EQ(SummaryValue(run.out, "Disk stamp"), "NOT STAMPED");
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_TRUE(Contains(Report(id, "_AuditLog.txt"), "  Disk Stamp Status  : NOT STAMPED\r\n"));
  for (const std::string& text : {run.out, Report(id, "_Certificate.html"),
                                  Report(id, "_Report.json"), Report(id, "_AuditLog.txt")}) {
    for (const char* claim : {"PURE ZERO", "0x00・未初期化", "全セクタ 0x00 完全"}) {
      EXPECT_FALSE(Contains(text, claim)) << claim << " in " << text;
    }
  }
  EXPECT_TRUE(
      Contains(run.out, "最終パスが 0x00 ではないため、全セクタ 0x00 の状態にはなりません。"));
  const auto image = Read("disk.img");
  EXPECT_FALSE(testing::AllZero(image, 0, image.size()));
}

TEST_F(CliClaims, BytesWrittenAreTheBytesThatReachedTheImage) {
  Fill("disk.img", 8 * kMiB, 0x22);
  const CliRun simulated = Cli({"erase", Path("disk.img"), "--no-reports"});
  EXPECT_EQ(SummaryValue(simulated.out, "Bytes written"), "0");
  // Pass 1 of the three DoD passes takes two chunks; the flag rises as pass 2 writes its first.
  InjectFaults([this](FaultDevice& device) {
    device.faults.beforeWrite = [this](int32_t write) {
      if (write == 3) cancel_.store(1);
    };
  });
  const CliRun cancelled =
      Cli({"erase", Path("disk.img"), "--real", "--standard", "dod", "--no-reports"});
  EXPECT_EQ(cancelled.code, 3);
  EXPECT_EQ(SummaryValue(cancelled.out, "Bytes written"), std::to_string(12 * kMiB));
}

TEST_F(CliClaims, LongFieldsStillGiveAStampThatReadsBack) {
  std::string japanese;
  for (int i = 0; i < 650; ++i)
    japanese += "消";
  const CliRun write =
      Cli({"stamp-write", "--out", Path("s.img"), "--field", "certificateId=LONG-1", "--field",
           "operatorName=" + japanese, "--field", "organizationName=" + std::string(1 << 20, 'o'),
           "--field", "passesCompleted=3", "--field", "hardware.storageController=LAST"});
  ASSERT_EQ(write.code, 0) << write.err;
  const CliRun read = Cli({"stamp-read", Path("s.img")});
  EXPECT_EQ(read.code, 0) << read.err;
  EXPECT_TRUE(Contains(read.out, "\ncertificateId=LONG-1\n"));
  EXPECT_TRUE(Contains(read.out, "\noperatorName=" + japanese.substr(0, 300)));
  EXPECT_TRUE(Contains(read.out, "\npassesCompleted=3\n"));
  EXPECT_TRUE(Contains(read.out, "\nhardware.storageController=LAST\n"));
}

#ifndef _WIN32
// The real settings of a home folder of the test's own.
class CliSettingsFolders : public CliFixture {
 protected:
  CliSettingsFolders() {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("HOME", Path("home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);
    services_.loadSettings = [](FolderCreation creation) { return LoadSettings(creation); };
  }
  ~CliSettingsFolders() override {
    for (const auto& [name, value] : saved_) {
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(CliSettingsFolders, NoReportsCreateNoFolderAndAnEmptyFolderSettingMeansTheDefault) {
  Fill("disk.img", kMiB, 0x5A);
  ASSERT_EQ(Cli({"erase", Path("disk.img"), "--no-reports"}).code, 0);
  EXPECT_EQ(FilesIn(""), std::set<std::string>{"disk.img"});

  std::filesystem::create_directories(dir_.path() / "config" / "toreval");
  std::ofstream(dir_.path() / "config" / "toreval" / "TorevalDiskEraser.ini")
      << "[General]\nOperatorName=Ini Operator\nCertOutputDir=\n";
  const CliRun run = Cli({"erase", Path("disk.img")});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  const std::string id = SummaryValue(run.out, "Certificate ID");
  const std::string folder = "home/Documents/Toreval Disk Eraser Certificates";
  EXPECT_EQ(FilesIn(folder).size(), 3u) << run.out;
  EXPECT_TRUE(Contains(ReadText(folder + "/" + id + "_Report.json"), "\"Ini Operator\""));
}
#endif

}  // namespace
}  // namespace tvde
