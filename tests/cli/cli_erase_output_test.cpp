// What the erase command prints and answers: console and progress lines, the progress
// throttle, the exit code of each job outcome, the summary, and the disk description of a
// block device.
#include "cli_erase_output.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "cli.h"
#include "cli_target.h"
#include "job/erase_job_driver.h"

namespace tvde {
namespace {

using cli::EraseExitCode;
using cli::EraseRequest;
using cli::ProgressThrottle;

EraseProgressInfo Progress(int32_t phase, int32_t pass, int32_t percent) {
  EraseProgressInfo info;
  info.phase = phase;
  info.currentPass = pass;
  info.totalPasses = 3;
  info.passPercent = percent;
  return info;
}

TEST(CliEraseOutput, ConsoleAndProgressLines) {
  EXPECT_EQ(cli::ConsoleLine(L"2026-03-04 05:06:07", L"[VERIFY] 検証"),
            "[2026-03-04 05:06:07] [VERIFY] 検証");

  EraseProgressInfo info = Progress(kPhaseOverwrite, 2, 42);
  info.overallPercent = 47;
  info.speedMBps = 812.345;
  info.statusText = L"Pass 2/3: Complement Pattern (0xFF)";
  EXPECT_EQ(WideToUtf8(cli::FormatProgress(info)),
            "[PROGRESS] pass 2/3 | Pass 2/3: Complement Pattern (0xFF)  |  現在パス: 42%  |  "
            "全体進捗: 47%  |  処理速度: 812.3 MB/s");
  info.phase = kPhaseVerify;
  info.statusText = L"ベリファイ";
  info.speedMBps = 0;
  EXPECT_EQ(
      WideToUtf8(cli::FormatProgress(info)),
      "[PROGRESS] verify | ベリファイ  |  現在パス: 42%  |  全体進捗: 47%  |  処理速度: 0.0 MB/s");
}

TEST(CliEraseOutput, ProgressIsThrottledToOneLinePerSecondAndPercent) {
  ProgressThrottle throttle;
  EXPECT_TRUE(throttle.ShouldPrint(Progress(1, 1, 0), 10000));   // the first record
  EXPECT_FALSE(throttle.ShouldPrint(Progress(1, 1, 1), 10500));  // moved, but too soon
  EXPECT_FALSE(throttle.ShouldPrint(Progress(1, 1, 2), 10999));
  EXPECT_TRUE(throttle.ShouldPrint(Progress(1, 1, 3), 11000));    // moved, a second later
  EXPECT_FALSE(throttle.ShouldPrint(Progress(1, 1, 3), 15000));   // a second, but no change
  EXPECT_TRUE(throttle.ShouldPrint(Progress(1, 1, 100), 15001));  // the end of the pass
  EXPECT_FALSE(throttle.ShouldPrint(Progress(1, 1, 100), 15002));
  EXPECT_TRUE(throttle.ShouldPrint(Progress(1, 2, 100), 15003));  // a new pass
  EXPECT_TRUE(throttle.ShouldPrint(Progress(2, 2, 100), 15004));  // a new phase
  EXPECT_FALSE(throttle.ShouldPrint(Progress(2, 2, 100), 99999));

  // A fast pass of a hundred records, a millisecond apart, prints its start and its end.
  ProgressThrottle fast;
  int printed = 0;
  for (int32_t percent = 1; percent <= 100; ++percent) {
    printed += fast.ShouldPrint(Progress(1, 1, percent), static_cast<uint64_t>(percent)) ? 1 : 0;
  }
  EXPECT_EQ(printed, 2);
}

ReportData Finished(int32_t status, ExecutionMode mode, const wchar_t* stamp) {
  ReportData result;
  result.certificateId = L"TVDE-20260304-050607-0A1B2C3D";
  result.statusCode = status;
  result.config.executionMode = mode;
  result.config.disk.devicePath = L"disk.img";
  result.config.outputFolder = L"out";
  result.diskStampStatus = stamp;
  result.verificationResult = L"PASSED";
  result.htmlPath = L"out/a.html";
  result.txtPath = L"out/a.txt";
  result.jsonPath = L"out/a.json";
  return result;
}

TEST(CliEraseOutput, ExitCodeOfEachOutcome) {
  const EraseRequest all;
  EraseRequest bare;
  bare.reportsWanted = false;
  bare.stampWanted = false;
  constexpr auto kReal = ExecutionMode::RealWrite;
  constexpr auto kSimulation = ExecutionMode::Simulation;

  EXPECT_EQ(EraseExitCode(Finished(3, kReal, kStampActive), all), cli::kExitOk);
  EXPECT_EQ(EraseExitCode(Finished(3, kSimulation, kStampSimulated), all), cli::kExitOk);
  EXPECT_EQ(EraseExitCode(Finished(4, kReal, kStampNotStamped), all), cli::kExitCancelled);
  EXPECT_EQ(EraseExitCode(Finished(5, kReal, kStampNotStamped), all), cli::kExitFailed);
  EXPECT_EQ(EraseExitCode(Finished(0, kReal, kStampNotStamped), all), cli::kExitFailed);
  EXPECT_EQ(EraseExitCode(Finished(3, kReal, kStampWriteSkipped), all), cli::kExitIncomplete);
  EXPECT_EQ(EraseExitCode(Finished(3, kReal, kStampPureZero), bare), cli::kExitOk);

  ReportData unsaved = Finished(3, kReal, kStampActive);
  unsaved.jsonPath.clear();
  EXPECT_EQ(EraseExitCode(unsaved, all), cli::kExitIncomplete);
  EXPECT_EQ(EraseExitCode(unsaved, bare), cli::kExitOk);  // no reports asked for
  // No reports asked for, but a stamp that did not go on.
  EraseRequest stampOnly = bare;
  stampOnly.stampWanted = true;
  EXPECT_EQ(EraseExitCode(Finished(3, kReal, kStampWriteSkipped), stampOnly), cli::kExitIncomplete);
  EXPECT_EQ(EraseExitCode(Finished(3, kSimulation, kStampSimulated), stampOnly), cli::kExitOk);
}

TEST(CliEraseOutput, SummaryNamesTheReportsOrWhyThereAreNone) {
  const EraseRequest all;
  const std::string written =
      cli::FormatSummary(Finished(3, ExecutionMode::RealWrite, kStampActive), all);
  EXPECT_EQ(
      written.rfind("== Erase job summary\nCertificate ID   : TVDE-20260304-050607-0A1B2C3D\n"
                    "Target           : disk.img\nMode             : Physical Hardware Erase\n",
                    0),
      0u)
      << written;
  EXPECT_NE(written.find("\nHTML certificate : out/a.html\nTXT audit log    : out/a.txt\n"
                         "JSON report      : out/a.json\n"),
            std::string::npos);
  EXPECT_NE(written.find("\nSHA-256          : (none)\n"), std::string::npos);

  ReportData blocked = Finished(5, ExecutionMode::RealWrite, kStampNotStamped);
  blocked.verificationResult = kVerdictBlocked;
  blocked.errorMessage = L"安全保護ロック";
  blocked.htmlPath.clear();
  const std::string refused = cli::FormatSummary(blocked, all);
  EXPECT_NE(refused.find("\nStatus           : FAILED (エラー終了) [status 5]\n"),
            std::string::npos);
  EXPECT_NE(refused.find("\nError            : 安全保護ロック\n"), std::string::npos);
  EXPECT_NE(refused.find("\nReports          : none (the job stopped before it began)\n"),
            std::string::npos);
  EXPECT_EQ(refused.find("HTML certificate"), std::string::npos);

  ReportData skipped = Finished(3, ExecutionMode::RealWrite, kStampWriteSkipped);
  skipped.txtPath.clear();
  const std::string failed = cli::FormatSummary(skipped, all);
  // Exactly the files that exist are named.
  EXPECT_NE(failed.find("\nHTML certificate : out/a.html\nTXT audit log    : NOT WRITTEN (could "
                        "not write to out)\nJSON report      : out/a.json\n"),
            std::string::npos);
  EXPECT_NE(
      failed.find("\nNote: the bootable report stamp was asked for but is not on the disk.\n"),
      std::string::npos);
}

TEST(CliTargetDescription, BlockDisksFromTheirKernelFacts) {
  struct Case {
    cli::BlockDiskFacts facts;
    std::string model;
    BusKind bus;
    MediaKind media;
  };
  const std::vector<Case> cases = {
      {{"sda", "/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda",
        "ATA     ", "Samsung SSD 870\n", " S6PT \n", 0, 0},
       "Samsung SSD 870",
       BusKind::Sata,
       MediaKind::Ssd},
      {{"sdb", "/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/block/sdb", "SanDisk",
        "Ultra", "", 1, 1},
       "SanDisk Ultra",
       BusKind::Usb,
       MediaKind::Removable},
      {{"sdc", "/sys/devices/pci0000:00/0000:00:1f.2/ata3/host2/block/sdc", "ATA", "WDC WD10", "",
        1, 0},
       "WDC WD10",
       BusKind::Sata,
       MediaKind::Hdd},
      {{"nvme0n1", "/sys/devices/pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1", "", "PM9A1 ", "X", 0,
        0},
       "PM9A1",
       BusKind::Nvme,
       MediaKind::NvmeSsd},
      {{"loop3", "/sys/devices/virtual/block/loop3", "", "", "", 1, 0},
       "Loop Device",
       BusKind::Virtual,
       MediaKind::Standard},
      {{"mmcblk0", "/sys/devices/platform/mmc0/mmc0:0001/block/mmcblk0", "", "SD32G", "", 0, 0},
       "SD32G",
       BusKind::Mmc,
       MediaKind::Removable},
      {{"vdb", "/sys/devices/pci0000:00/0000:00:05.0/virtio2/block/vdb", "", "", "", 1, 0},
       "vdb",
       BusKind::Virtual,
       MediaKind::Hdd},
      {{"sdd", "/sys/devices/platform/host9/block/sdd", "", "", "", -1, -1},
       "sdd",
       BusKind::Unknown,
       MediaKind::Standard},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.facts.kernelName);
    cli::TargetInfo info;
    cli::DescribeBlockDisk(c.facts, info);
    EXPECT_EQ(info.model, c.model);
    EXPECT_EQ(info.bus, c.bus);
    EXPECT_EQ(info.media, c.media);
  }
  cli::TargetInfo sata;
  cli::DescribeBlockDisk(cases[0].facts, sata);
  EXPECT_EQ(sata.serial, "S6PT");
}

}  // namespace
}  // namespace tvde
