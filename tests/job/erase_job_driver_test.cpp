// The whole erase job on an in-memory disk: guard, simulation, real passes, failures at each
// step, stamp and certificate output. Real jobs on image files run in the console tool's tests.
#include "job/erase_job_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/host_environment.h"
#include "support/fault_device.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::FaultDevice;
using testing::U8;

constexpr uint64_t kMiB = 1024 * 1024;

// Hands the job a device it may destroy while the test keeps the real one for inspection.
class DeviceProxy final : public Device {
 public:
  DeviceProxy(Device& target, int32_t& openCount) : target_(target), openCount_(openCount) {
    ++openCount_;
  }
  DeviceProxy(const DeviceProxy&) = delete;
  DeviceProxy& operator=(const DeviceProxy&) = delete;
  ~DeviceProxy() override { --openCount_; }
  bool Seek(uint64_t offset) override { return target_.Seek(offset); }
  IoResult Read(std::span<uint8_t> buffer) override { return target_.Read(buffer); }
  IoResult Write(std::span<const uint8_t> data) override { return target_.Write(data); }
  bool Flush() override { return target_.Flush(); }
  bool TrimWholeDevice(uint64_t sizeBytes) override { return target_.TrimWholeDevice(sizeBytes); }
  bool DeleteDriveLayout() override { return target_.DeleteDriveLayout(); }
  bool UpdateProperties() override { return target_.UpdateProperties(); }
  bool QueryLength(uint64_t& lengthBytes) override { return target_.QueryLength(lengthBytes); }

 private:
  Device& target_;
  int32_t& openCount_;
};

class RecordingLock final : public VolumeLock {
 public:
  explicit RecordingLock(int32_t& released) : released_(released) {}
  ~RecordingLock() override { ++released_; }

 private:
  int32_t& released_;
};

// A job environment around one in-memory disk, recording what the job asked for.
struct JobHarness {
  explicit JobHarness(uint64_t sizeBytes, uint32_t sectorSize = 512)
      : disk(FaultDevice::InMemory(sizeBytes, sectorSize, 0xA5)) {
    config.disk.diskNumber = 3;
    // Never opened (the harness supplies the disk), but it must name an ordinary file: under
    // Wine anything else counts as a host device.
    config.disk.devicePath = dir.File("test-disk.img");
    std::ofstream(dir.path() / "test-disk.img") << "placeholder";
    config.disk.model = L"Test Disk";
    config.disk.serialNumber = L"SN-1";
    config.disk.sizeBytes = sizeBytes;
    config.disk.bytesPerSector = sectorSize;
    config.disk.mediaType = MediaKind::Hdd;
    config.disk.safetyStatus = SafetyStatus::Erasable;
    config.standard = EraseStandard::ZeroFill;
    config.executionMode = ExecutionMode::RealWrite;
    config.operatorName = L"Operator";
    config.organizationName = L"Org";

    environment.openDevice = [this](const std::wstring& path, const DeviceOpenOptions& options) {
      openedPaths.push_back(path);
      openOptions = options;
      if (failOpen) return DeviceOpenResult{nullptr, 5};
      return DeviceOpenResult{std::make_unique<DeviceProxy>(*disk, openDevices), 0};
    };
    environment.lockVolumes = [this](const DiskInfo&, const LogCallback& sink) {
      ++lockCalls;
      VolumeLockList list;
      list.locks.push_back(std::make_unique<RecordingLock>(released));
      list.inUse = volumesInUse;
      EmitLog(sink, L"[SAFETY] test volume locked");
      return list;
    };
    environment.saveReports = [this](ReportData& report) {
      ++saveCalls;
      savedCertificateId = report.certificateId;
      // The certificate comes after the disk is closed and its volumes are given back.
      openAtSave = openDevices;
      releasedAtSave = released;
      return saveSucceeds;
    };
  }

  ReportData Run() {
    return RunEraseJob(
        environment, config, 0, cancel,
        [this](const EraseProgressInfo& p) { progress.push_back(p); },
        [this](const std::wstring& line) { log.push_back(U8(line)); });
  }

  bool Logged(const std::string& line) const {
    return std::find(log.begin(), log.end(), line) != log.end();
  }

  std::string StampRecordStart() const {
    const auto& bytes = disk->memory()->bytes();
    return std::string(bytes.begin() + 512, bytes.begin() + 512 + 14);
  }

  testing::TempDir dir;
  std::unique_ptr<FaultDevice> disk;
  EraseJobConfig config;
  EraseJobEnvironment environment;
  CancelFlag cancel{0};
  bool failOpen = false;
  bool saveSucceeds = true;
  std::vector<std::wstring> volumesInUse;
  std::vector<std::wstring> openedPaths;
  DeviceOpenOptions openOptions;
  int32_t lockCalls = 0;
  int32_t released = 0;
  int32_t saveCalls = 0;
  int32_t openDevices = 0;
  int32_t openAtSave = -1;
  int32_t releasedAtSave = -1;
  std::wstring savedCertificateId;
  std::vector<EraseProgressInfo> progress;
  std::vector<std::string> log;
};

TEST(EraseJobGuard, ProtectedDisksAreNeverOpenedInARealJob) {
  for (int32_t status : {1, 2, 3, 7}) {
    JobHarness job(4 * kMiB);
    job.config.disk.safetyStatus = static_cast<SafetyStatus>(status);
    const ReportData result = job.Run();
    EXPECT_EQ(result.statusCode, kStatusFailed);
    EXPECT_EQ(U8(result.verificationResult), "BLOCKED BY SAFETY GUARD");
    EXPECT_EQ(U8(result.diskStampStatus), "NOT STAMPED");
    EXPECT_EQ(U8(result.errorMessage),
              "安全保護ロックされているディスクのため、実機消去をブロックしました。");
    EXPECT_EQ(result.elapsedSeconds, 0.0);
    EXPECT_EQ(result.bytesWritten, 0u);
    EXPECT_EQ(result.passesPlanned, 1);
    EXPECT_FALSE(result.endTime.empty());
    EXPECT_EQ(result.certificateId.size(), 29u);
    EXPECT_EQ(job.lockCalls, 0);
    EXPECT_TRUE(job.openedPaths.empty());
    EXPECT_EQ(job.saveCalls, 0);  // no certificate for a blocked job
    ASSERT_EQ(job.log.size(), 1u);
    EXPECT_EQ(
        job.log[0],
        "[CRITICAL SAFETY] 安全保護ロックされているディスクのため、実機消去をブロックしました。");
  }
}

TEST(EraseJobGuard, UnderWineRawDevicePathsAreRefusedEvenWhenErasable) {
  JobHarness job(4 * kMiB);
  job.config.disk.devicePath = L"\\\\.\\PhysicalDrive0";
  const ReportData result = job.Run();
  if (!IsRunningUnderWine()) {
    EXPECT_EQ(result.statusCode, kStatusCompleted);  // natively the fake device is erased
    return;
  }
  EXPECT_EQ(result.statusCode, kStatusFailed);
  EXPECT_EQ(U8(result.verificationResult), "BLOCKED BY SAFETY GUARD");
  EXPECT_TRUE(job.openedPaths.empty());
  EXPECT_EQ(job.lockCalls, 0);
  ASSERT_EQ(job.log.size(), 1u);
  EXPECT_TRUE(job.log[0].starts_with("[CRITICAL SAFETY] ")) << job.log[0];
}

TEST(EraseJobGuard, VolumesThatStayInUseStopTheJobBeforeTheDiskIsOpened) {
  JobHarness job(4 * kMiB);
  job.volumesInUse = {L"E:"};
  const ReportData result = job.Run();
  EXPECT_EQ(job.released, 1);  // the hold was given back either way
  EXPECT_EQ(result.statusCode, kStatusFailed);
  EXPECT_EQ(U8(result.verificationResult), "BLOCKED BY SAFETY GUARD");
  EXPECT_TRUE(job.openedPaths.empty());
  EXPECT_EQ(job.saveCalls, 0);
  EXPECT_TRUE(job.Logged(
      "[CRITICAL SAFETY] 対象ディスク上のファイルシステムが使用中のため、実機消去をブロックしました。"));
}

TEST(EraseJobReal, OpenFailureReleasesVolumesAndWritesNoCertificate) {
  JobHarness job(4 * kMiB);
  job.failOpen = true;
  const ReportData result = job.Run();
  EXPECT_EQ(result.statusCode, kStatusFailed);
  EXPECT_EQ(U8(result.verificationResult), "OPEN HANDLE FAILED");
  EXPECT_EQ(U8(result.diskStampStatus), "NOT STAMPED");
  EXPECT_EQ(result.elapsedSeconds, 0.0);
  EXPECT_EQ(job.released, 1);
  EXPECT_EQ(job.saveCalls, 0);
  EXPECT_EQ(
      job.log.back(),
      "[ERROR] 物理ディスクを書き込みモードで開けませんでした。管理者権限またはディスク使用状況を確認してください。");
}

TEST(EraseJobReal, CompletedZeroFillWipesVerifiesAndStampsWhileTheDiskIsOpen) {
  JobHarness job(6 * kMiB + 512);
  job.config.verifyMode = VerifyMode::Full;
  const ReportData result = job.Run();
  EXPECT_EQ(result.statusCode, kStatusCompleted);
  EXPECT_EQ(result.passesCompleted, 1);
  EXPECT_EQ(result.passesPlanned, 1);
  EXPECT_EQ(result.bytesWritten, 6 * kMiB + 512);
  EXPECT_EQ(U8(result.verificationResult), "PASSED (All Sampled Sectors Verified Clean)");
  EXPECT_EQ(U8(result.diskStampStatus),
            "BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)");
  EXPECT_EQ(result.sha256Fingerprint.size(), 64u);
  EXPECT_EQ(result.stamp.certificateId, result.certificateId);
  EXPECT_EQ(job.savedCertificateId, result.certificateId);
  EXPECT_EQ(job.saveCalls, 1);
  EXPECT_EQ(job.released, 1);
  EXPECT_EQ(job.openAtSave, 0);
  EXPECT_EQ(job.releasedAtSave, 1);
  EXPECT_EQ(job.openOptions.access, DeviceAccess::ReadWrite);
  EXPECT_EQ(job.openOptions.buffering, DeviceBuffering::Unbuffered);
  EXPECT_EQ(job.openOptions.sectorSize, 512u);
  EXPECT_EQ(job.StampRecordStart(), "TVDE_STAMP_V2|");
  // The stamp comes after verification: it is the last write, and the stamp region ends
  // the zeroed disk.
  const auto& bytes = job.disk->memory()->bytes();
  EXPECT_EQ(bytes[0x1FE], 0x55);
  EXPECT_EQ(bytes[0x1FF], 0xAA);
  EXPECT_TRUE(std::all_of(bytes.begin() + 0x20000, bytes.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(job.disk->CountEvents("trim"), 0u);  // zero fill on a hard disk: no TRIM
  EXPECT_EQ(job.log.front(), "[SAFETY] test volume locked");
}

TEST(EraseJobReal, TrimNoticeForNistStandardsAndSolidStateDisksOnly) {
  JobHarness nvme(4 * kMiB);
  nvme.config.disk.mediaType = MediaKind::NvmeSsd;
  nvme.Run();
  EXPECT_EQ(nvme.disk->CountEvents("trim"), 1u);
  // The notice precedes the first write.
  EXPECT_TRUE(nvme.disk->events.front().starts_with("trim")) << nvme.disk->events.front();

  JobHarness clear(4 * kMiB);
  clear.config.standard = EraseStandard::NistClear;
  clear.disk->faults.rejectTrim = true;  // a refused notice never stops the job
  EXPECT_EQ(clear.Run().statusCode, kStatusCompleted);
  EXPECT_TRUE(clear.Logged(
      "[INFO] ハードウェアTRIM通知はスキップされました。物理セクタの完全上書きパージを実行します。"));
}

TEST(EraseJobReal, WriteErrorStopsTheJobWithItsCertificate) {
  JobHarness job(12 * kMiB);
  job.config.standard = EraseStandard::Dod522022M;
  job.disk->faults.failWriteAt = 5;  // pass 2, second chunk
  const ReportData result = job.Run();
  EXPECT_EQ(result.statusCode, kStatusFailed);
  EXPECT_EQ(result.passesCompleted, 1);
  EXPECT_EQ(result.passesPlanned, 3);
  EXPECT_EQ(result.bytesWritten, 0u);
  EXPECT_EQ(U8(result.verificationResult), "WRITE ERROR");
  EXPECT_EQ(U8(result.diskStampStatus), "NOT STAMPED");
  EXPECT_TRUE(result.errorMessage.empty());
  EXPECT_EQ(job.saveCalls, 1);
  EXPECT_EQ(job.released, 1);
  EXPECT_EQ(job.openAtSave, 0);
  EXPECT_EQ(job.releasedAtSave, 1);
  EXPECT_EQ(job.disk->CountEvents("delete-layout"), 0u);  // no wipe after a failed pass
}

TEST(EraseJobReal, CancelDuringTheSecondOfThreePasses) {
  JobHarness job(8 * kMiB);
  job.config.standard = EraseStandard::Dod522022M;
  job.disk->faults.beforeWrite = [&job](int32_t write) {
    if (write == 3) job.cancel.store(1);  // first chunk of pass 2 is written, then cancel
  };
  const ReportData result = job.Run();
  EXPECT_EQ(result.statusCode, kStatusCancelled);
  EXPECT_EQ(result.passesCompleted, 1);
  EXPECT_EQ(U8(result.verificationResult), "CANCELLED BY USER");
  EXPECT_EQ(U8(result.diskStampStatus), "NOT STAMPED");
  EXPECT_EQ(job.saveCalls, 1);
  EXPECT_EQ(job.disk->writeCalls, 3);
}

TEST(EraseJobReal, OnlyACompletedAndVerifiedOrUnverifiedJobStamps) {
  const std::string stamped =
      "BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)";
  const std::string pureZero = "PURE ZERO WIPED (スタンプなし・全セクタ 0x00 完全未初期化状態)";
  const std::string passed = "PASSED (All Sampled Sectors Verified Clean)";
  struct Case {
    const char* name;
    std::function<void(JobHarness&)> arm;
    int32_t status;
    std::string verdict, stamp;
    int32_t writes;  // one 4 MiB chunk, two wipe writes, then the stamp
  };
  const Case cases[] = {
      {"pure zero chosen",
       [](JobHarness& job) { job.config.postEraseState = PostEraseState::PureZero; },
       kStatusCompleted, passed, pureZero, 3},
      {"verification failed",
       [](JobHarness& job) {
         job.disk->faults.flipOffset = 3 * kMiB + 12345;
         job.config.verifyMode = VerifyMode::Full;
       },
       kStatusFailed, "FAILED (Pattern Mismatch Detected)", pureZero, 3},
      {"verification skipped", [](JobHarness& job) { job.config.verifyMode = VerifyMode::None; },
       kStatusCompleted, "SKIPPED (検証なし設定)", stamped, 4},
      {"stamp write failed",
       [](JobHarness& job) {
         job.config.disk.safetyStatus = SafetyStatus::ErasableSecondary;  // unlocked internal
         job.disk->faults.failWriteAt = 4;
       },
       kStatusCompleted, passed, "STAMP WRITE SKIPPED", 4},
      {"verification cancelled",
       [](JobHarness& job) {
         job.disk->faults.beforeWrite = [&job](int32_t write) {
           if (write == 3) job.cancel.store(1);  // the last wipe write, before verification
         };
       },
       kStatusCancelled, "CANCELLED", pureZero, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobHarness job(4 * kMiB);
    c.arm(job);
    const ReportData result = job.Run();
    EXPECT_EQ(result.statusCode, c.status);
    EXPECT_EQ(U8(result.verificationResult), c.verdict);
    EXPECT_EQ(U8(result.diskStampStatus), c.stamp);
    EXPECT_EQ(result.passesCompleted, 1);
    EXPECT_EQ(result.bytesWritten, 4 * kMiB);
    EXPECT_EQ(job.disk->writeCalls, c.writes);
    // Skipped or cancelled before it began, verification reads nothing.
    EXPECT_EQ(job.disk->readCalls == 0,
              c.verdict.starts_with("SKIPPED") || c.verdict.starts_with("CANCELLED"));
    EXPECT_EQ(job.saveCalls, 1);
    const auto& bytes = job.disk->memory()->bytes();
    if (c.stamp == stamped) {
      EXPECT_EQ(job.StampRecordStart(), "TVDE_STAMP_V2|");
    } else {
      EXPECT_TRUE(testing::AllZero(bytes, 0, bytes.size()));
    }
    EXPECT_EQ(
        job.Logged("[DISK STATE] スタンプを記録せず、ディスク全領域を完全消去 (0x00・未初期化) "
                   "状態で完了しました。"),
        c.stamp == pureZero);
  }
}

TEST(EraseJobReal, UnknownStandardRunsNoPassAndComparesNothing) {
  JobHarness job(4 * kMiB);
  job.config.standard = static_cast<EraseStandard>(42);
  const ReportData result = job.Run();
  EXPECT_EQ(result.passesPlanned, 0);
  EXPECT_EQ(result.passesCompleted, 0);
  EXPECT_EQ(result.bytesWritten, 0u);
  // The fill byte 0xA5 outside the wiped first and last MiB is read back without complaint.
  EXPECT_EQ(result.statusCode, kStatusCompleted);
}

TEST(EraseJobReal, FailedCertificateOutputIsLogged) {
  JobHarness job(4 * kMiB);
  job.saveSucceeds = false;
  job.config.outputFolder = L"Q:\\nowhere";
  job.Run();
  EXPECT_EQ(job.log.back(),
            "[ERROR] 証明書・監査ログファイルの保存に失敗しました。保存先: Q:\\nowhere");
}

TEST(EraseJobSimulation, PurgeSimulationNeverOpensTheDiskAndCountsBothPasses) {
  JobHarness job(4 * kMiB);
  job.config.disk.sizeBytes = 1ull << 40;  // only read from the record, never opened
  job.config.executionMode = ExecutionMode::Simulation;
  job.config.standard = EraseStandard::NistPurge;
  job.config.disk.safetyStatus = SafetyStatus::ProtectedSystemDisk;  // plays no part here
  const ReportData result = job.Run();
  EXPECT_EQ(result.statusCode, kStatusCompleted);
  EXPECT_EQ(result.passesCompleted, 2);
  EXPECT_EQ(result.bytesWritten, 2ull << 40);
  EXPECT_EQ(U8(result.verificationResult), "PASSED (Simulation 100% Verified)");
  EXPECT_EQ(U8(result.diskStampStatus),
            "STAMPED (Simulation Verified - Bootable Report Stamp & Hardware Profile Ready)");
  EXPECT_GT(result.elapsedSeconds, 1.5);  // two paced passes and the paced verification
  EXPECT_TRUE(job.openedPaths.empty());
  EXPECT_EQ(job.lockCalls, 0);
  EXPECT_EQ(job.saveCalls, 1);
  ASSERT_GE(job.log.size(), 3u);
  EXPECT_EQ(job.log[0],
            "=== [安全シミュレーション(Dry-Run)モード] 実際のディスク内容は変更されません ===");
  EXPECT_EQ(
      job.log[1],
      "[NIST SP 800-88 Rev.1] NVMe/SSD 全LBAブロック解放 (TRIM/Deallocate) シミュレーションを実行しました。");
  EXPECT_EQ(job.log.back(), "[DISK STAMP] 実機消去＆ハードウェアレポート画面スタンプ (Cert ID: " +
                                U8(result.certificateId) + ") を生成しました。");
  // Within each phase progress only goes up; the verification phase restarts at 91.
  ASSERT_EQ(job.progress.size(), 60u);  // 2 x 25 pass steps, 10 verification steps
  for (size_t i = 1; i < job.progress.size(); ++i) {
    if (job.progress[i].phase != job.progress[i - 1].phase) continue;
    EXPECT_GE(job.progress[i].overallPercent, job.progress[i - 1].overallPercent) << i;
  }
  EXPECT_EQ(job.progress[49].overallPercent, 100);
  EXPECT_EQ(job.progress[50].phase, kPhaseVerify);
  EXPECT_EQ(job.progress[50].overallPercent, 91);
  EXPECT_EQ(job.progress.back().overallPercent, 100);
}

TEST(EraseJobSimulation, CancelledSimulationIsAbortedWithCertificate) {
  JobHarness job(4 * kMiB);
  job.config.executionMode = ExecutionMode::Simulation;
  job.config.postEraseState = PostEraseState::PureZero;
  job.cancel.store(1);
  const ReportData result = job.Run();
  EXPECT_EQ(result.statusCode, kStatusCancelled);
  EXPECT_EQ(U8(result.verificationResult), "ABORTED");
  EXPECT_EQ(U8(result.diskStampStatus), "ABORTED");
  EXPECT_EQ(result.passesCompleted, 0);
  EXPECT_EQ(result.bytesWritten, 0u);
  EXPECT_EQ(job.saveCalls, 1);
  EXPECT_EQ(job.log.size(), 2u);  // banner and the pass start line; no TRIM line for zero fill
}

TEST(EraseJobSimulation, PureZeroChoiceInSimulation) {
  JobHarness job(4 * kMiB);
  job.config.executionMode = ExecutionMode::Simulation;
  job.config.postEraseState = PostEraseState::PureZero;
  job.config.verifyMode = VerifyMode::None;
  const ReportData result = job.Run();
  EXPECT_EQ(U8(result.diskStampStatus), "PURE ZERO WIPED (スタンプなし・完全未初期化状態)");
  EXPECT_EQ(U8(result.verificationResult), "SKIPPED (検証なし設定)");
  EXPECT_EQ(
      job.log.back(),
      "[DISK STATE] 通常通りディスクを完全消去した状態 (スタンプなし / 全セクタ0x00想定) として完了しました。");
}

}  // namespace
}  // namespace tvde
