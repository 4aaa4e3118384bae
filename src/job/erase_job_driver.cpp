// The erase job: safety guard, simulation or real passes, partition wipe, verification,
// fingerprint, stamp and certificate output, in that order.
#include "job/erase_job_driver.h"

#include <algorithm>

#include "base/clock.h"
#include "base/host_environment.h"
#include "base/random.h"
#include "base/system_error.h"
#include "disk/working_paths.h"
#include "erase/device_preparation.h"
#include "erase/disk_error_text.h"
#include "erase/erase_standard.h"
#include "erase/firmware_step.h"
#include "erase/opened_disk_check.h"
#include "erase/overwrite_pass.h"
#include "erase/verification.h"
#include "erase/verification_scope.h"
#include "firmware/firmware_open.h"
#include "job/report_output.h"
#include "job/stamp_payload_builder.h"
#include "report/report_fingerprint.h"
#include "report/report_identity.h"
#include "stamp/stamp_writer.h"

namespace tvde {
namespace {

constexpr const wchar_t* kProtectedDiskMessage =
    L"安全保護ロックされているディスクのため、実機消去をブロックしました。";
constexpr const wchar_t* kWineHostDeviceMessage =
    L"Wine環境ではホストの実ディスクを保護するため、物理ディスク・ボリュームへの実機消去をブロックしました。";
constexpr const wchar_t* kVolumesInUseMessage =
    L"対象ディスク上のファイルシステムが使用中のため、実機消去をブロックしました。";
constexpr const wchar_t* kOpenFailedMessage =
    L"物理ディスクを書き込みモードで開けませんでした。管理者権限またはディスク使用状況を確認してください。";
constexpr const wchar_t* kReportFolderMessage =
    L"証明書・監査ログの保存先フォルダーを作成または書き込みできないため、消去を開始しませんでした。保存先: ";
constexpr const wchar_t* kLogDefaultReportFolder =
    L"[LOG PATH] 保存先フォルダーが指定されていないため、プログラムのフォルダーに保存します: ";
constexpr const wchar_t* kLogPureZero =
    L"[DISK STATE] スタンプを記録せず、ディスク全領域を完全消去 (0x00・未初期化) 状態で完了しました。";
constexpr const wchar_t* kLogSimulatedPureZero =
    L"[DISK STATE] 通常通りディスクを完全消去した状態 (スタンプなし / 全セクタ0x00想定) として完了しました。";
constexpr const wchar_t* kLogNoStampLastPassNotZero =
    L"[DISK STATE] スタンプなしで完了しました。最終パスが 0x00 ではないため、全セクタ 0x00 の状態にはなりません。";
constexpr const wchar_t* kLogNoStampSectorsOutOfReach =
    L"[DISK STATE] スタンプなしで完了しました。DCO で制限された領域のセクタは消去されていないため、全セクタ 0x00 の状態にはなりません。";
constexpr const wchar_t* kLogNoStampVerifyFailed =
    L"[DISK STATE] ベリファイ検証に合格しなかったため、スタンプを記録せずに終了しました。全セクタ 0x00 であることは確認されていません。";
constexpr const wchar_t* kLogReportFileMissing = L"[ERROR] 保存できなかったファイル: ";

constexpr const wchar_t* kSizeChangedMessage =
    L"消去中にデバイスの容量が変わったため、消去済みとして証明しません";
constexpr const wchar_t* kWorkingFolderOnTargetMessage =
    L"プログラム・一時フォルダ・証明書保存先のいずれかが対象ディスク上にあるため、実機消去をブロックしました: ";

// Counts the bytes that reach the device through it, whatever way the passes end.
class WriteCounter final : public Device {
 public:
  explicit WriteCounter(Device& device) : device_(device) {}
  uint64_t written() const { return written_; }

  bool Seek(uint64_t offset) override { return device_.Seek(offset); }
  IoResult Read(std::span<uint8_t> buffer) override { return device_.Read(buffer); }
  IoResult Write(std::span<const uint8_t> data) override {
    const IoResult result = device_.Write(data);
    written_ += result.bytes;
    return result;
  }
  bool Flush() override { return device_.Flush(); }
  bool TrimWholeDevice(uint64_t sizeBytes) override { return device_.TrimWholeDevice(sizeBytes); }
  bool DeleteDriveLayout() override { return device_.DeleteDriveLayout(); }
  bool UpdateProperties() override { return device_.UpdateProperties(); }
  bool QueryLength(uint64_t& lengthBytes) override { return device_.QueryLength(lengthBytes); }
  std::optional<size_t> QueryDisk(DiskQuery query, std::span<uint8_t> out) override {
    return device_.QueryDisk(query, out);
  }

 private:
  Device& device_;
  uint64_t written_ = 0;
};

class JobRun {
 public:
  JobRun(const EraseJobEnvironment& environment, const EraseJobConfig& config, int32_t isWinPE,
         const CancelFlag& cancel, const ProgressCallback& progress, const LogCallback& log)
      : environment_(environment), cancel_(cancel), progress_(progress), log_(log) {
    result_.certificateId = MakeCertificateId();
    result_.startTime = FormatLocalTimestamp();
    result_.isWinPE = isWinPE;
    if (isWinPE != 1) result_.hostSystem = HostOperatingSystem();
    result_.config = config;
    plan_ = BuildPassPlan(config.standard);
    result_.passesPlanned = static_cast<int32_t>(plan_.size());
    startTick_ = TickCountMs();
  }

  ReportData Run() {
    const EraseJobConfig& config = result_.config;
    const bool real = config.executionMode != ExecutionMode::Simulation;
    if (real) {
      if (!AllowsWrite(config.disk.safetyStatus)) return Blocked(kProtectedDiskMessage);
      if (IsWineHostDevicePath(config.disk.devicePath) ||
          IsWineHostDevicePath(TargetDevicePath(config.disk))) {
        return Blocked(kWineHostDeviceMessage);
      }
    }
    // A certificate that cannot be written is found out now, while the disk is still intact.
    if (config.logOutputDisabled != 1) {
      std::wstring folder;
      const bool ready = environment_.prepareReportFolder(config, folder);
      if (!ready) {
        return EndEarly(kVerdictReportFolderUnwritable, kReportFolderMessage + folder, L"[ERROR] ");
      }
      if (config.outputFolder.empty()) EmitLog(log_, kLogDefaultReportFolder + folder);
    }
    return real ? RunRealWrite() : RunSimulation();
  }

 private:
  const EraseJobConfig& config() const { return result_.config; }
  const PassSpec* LastPass() const { return plan_.empty() ? nullptr : &plan_.back(); }
  bool EveryPass() const { return config().verifyMode == VerifyMode::EveryPass; }
  uint32_t SectorSize() const { return EffectiveSectorSize(config().disk.bytesPerSector); }

  void StopClock() {
    result_.endTime = FormatLocalTimestamp();
    result_.elapsedSeconds = static_cast<double>(TickCountMs() - startTick_) / 1000.0;
  }

  // Ends before any work: no elapsed time and no certificate files.
  ReportData EndEarly(const wchar_t* verdict, const std::wstring& message, const wchar_t* tag) {
    result_.statusCode = kStatusFailed;
    result_.errorMessage = message;
    result_.verificationResult = verdict;
    result_.diskStampStatus = kStampNotStamped;
    result_.endTime = FormatLocalTimestamp();
    EmitLog(log_, tag + message);
    return result_;
  }

  ReportData Blocked(const std::wstring& message) {
    return EndEarly(kVerdictBlocked, message, L"[CRITICAL SAFETY] ");
  }

  ReportData Report() {
    if (!environment_.saveReports(result_)) {
      EmitLog(log_, L"[ERROR] 証明書・監査ログファイルの保存に失敗しました。保存先: " +
                        ReportOutputFolder(config()));
      for (const std::wstring& name : MissingReportFiles(result_)) {
        EmitLog(log_, kLogReportFileMissing + name);
      }
    }
    if (!result_.signatureError.empty()) {
      EmitLog(log_, L"[ERROR] 電子署名を作成できませんでした (レポートは署名なしで保存): " +
                        result_.signatureError);
    }
    return result_;
  }

  // Every text about the disk's end state says 0x00 only when the last pass wrote zeros and
  // the job completed (verification did not find otherwise, nor was it cut short) and no
  // sectors were out of its reach.
  bool EndsAllZero() const {
    return PlanEndsWithZeros(plan_) && result_.statusCode == kStatusCompleted &&
           !LeavesSectorsUnerased(result_.firmware);
  }

  // A device that changed its size during the passes holds data the passes never reached (a
  // grown part) or lost what they wrote: asked again before verification, it is not certified.
  // Logs and records the two sizes.
  bool SizeChanged(Device& disk, uint64_t startLength) {
    uint64_t length = 0;
    if (!disk.QueryLength(length) || length == startLength) return false;
    const uint64_t written = config().disk.sizeBytes;
    result_.errorMessage = std::wstring(kSizeChangedMessage) + L" (開始時 " +
                           std::to_wstring(startLength) + L" バイト、パス終了後 " +
                           std::to_wstring(length) + L" バイト、書き込まれていない " +
                           std::to_wstring(length > written ? length - written : 0) + L" バイト)。";
    EmitLog(log_, L"[ERROR] " + result_.errorMessage);
    return true;
  }

  ReportData RunSimulation() {
    EmitLog(log_,
            L"=== [安全シミュレーション(Dry-Run)モード] 実際のディスク内容は変更されません ===");
    if (config().standard == EraseStandard::NistPurge ||
        config().standard == EraseStandard::NistClear) {
      EmitLog(log_,
              L"[NIST SP 800-88 Rev.1] NVMe/SSD 全LBAブロック解放 (TRIM/Deallocate) "
              L"シミュレーションを実行しました。");
    }
    if (config().firmwareMode != FirmwareMode::Off) {
      const SanitizeChoice choice = ChooseSanitizeMethod(
          config().disk.firmware, config().firmwareMode, config().disk.mediaType == MediaKind::Hdd);
      EmitLog(log_, L"[SIMULATION] ファームウェア消去 (コマンドは送信しません): " +
                        (choice.method != FirmwareMethod::None
                             ? FirmwareMethodName(choice.method)
                             : L"firmware sanitize not available (" + choice.reason + L")"));
    }
    for (const PassSpec& pass : plan_) {
      const int32_t status =
          RunSimulationPass(config(), pass, result_.passesPlanned, cancel_, progress_, log_);
      if (status != kStatusCompleted) {
        result_.statusCode = status;
        result_.verificationResult = kVerdictAborted;
        result_.diskStampStatus = kStampAborted;
        StopClock();
        return Report();
      }
      ++result_.passesCompleted;
    }
    result_.statusCode = VerifyErasure(nullptr, config(), ExpectedContent{LastPass(), {}, {}},
                                       cancel_, progress_, log_, result_.verificationResult);
    StopClock();  // a simulation writes nothing: bytesWritten stays 0
    if (result_.statusCode == kStatusCancelled) {
      result_.diskStampStatus = kStampAborted;  // it reached no end state to claim
    } else if (config().postEraseState == PostEraseState::WriteStamp) {
      result_.diskStampStatus = IsSkippedVerdict(result_.verificationResult)
                                    ? kStampSimulatedUnverified
                                    : kStampSimulated;
      EmitLog(log_, L"[DISK STAMP] 実機消去＆ハードウェアレポート画面スタンプ (Cert ID: " +
                        result_.certificateId + L") を生成しました。");
    } else if (EndsAllZero()) {
      result_.diskStampStatus = kStampSimulatedPureZero;
      EmitLog(log_, kLogSimulatedPureZero);
    } else {
      result_.diskStampStatus = kStampNotStamped;
      EmitLog(log_, kLogNoStampLastPassNotZero);
    }
    return Report();
  }

  // The scope of what was read back, for the reports and the log.
  void RecordScope() {
    result_.verificationScope = VerificationScopeText(readBacks_, EveryPass());
    if (!result_.verificationScope.empty()) {
      EmitLog(log_, L"[VERIFY] 検証範囲: " + result_.verificationScope);
    }
  }

  // Reads back the pass just written, whole, before the next one starts (every-pass mode).
  // Progress stays at the share of the job the passes so far have done.
  int32_t ReadBackPass(Device& disk, const PassSpec& pass) {
    const ExpectedContent expected{&pass, secret_.StreamFor(pass.passNumber), {}};
    const int32_t held = OverallPassPercent(100, pass.passNumber, result_.passesPlanned);
    ProgressCallback progress;
    if (progress_) {
      progress = [this, held, &pass](const EraseProgressInfo& info) {
        EraseProgressInfo shown = info;
        shown.overallPercent = held;
        shown.currentPass = pass.passNumber;  // whose read-back this is
        shown.totalPasses = result_.passesPlanned;
        progress_(shown);
      };
    }
    ReadBackFacts facts;
    const int32_t status = VerifyErasure(&disk, config(), expected, cancel_, progress, log_,
                                         result_.verificationResult, &facts);
    readBacks_.push_back(facts);
    return status;
  }

  // The wipe came after the last pass: its areas should hold zeroes, the rest the pass data.
  int32_t VerifyLastPass(Device& disk, std::vector<ByteRange> zeroed) {
    const PassSpec* last = LastPass();
    const ExpectedContent expected{last, last ? secret_.StreamFor(last->passNumber) : PassStream(),
                                   std::move(zeroed)};
    ReadBackFacts facts;
    const int32_t status = VerifyErasure(&disk, config(), expected, cancel_, progress_, log_,
                                         result_.verificationResult, &facts);
    if (config().verifyMode != VerifyMode::None) readBacks_.push_back(facts);
    return status;
  }

  // A pass, or its read-back, did not complete: the job ends without the wipe or a stamp.
  ReportData StopAfterPass(int32_t status, std::wstring verdict, DeviceOpenResult& opened,
                           VolumeLockList& volumes) {
    GiveDiskBack(opened, volumes);
    secret_ = RandomPassSecret();
    result_.statusCode = status;
    result_.verificationResult = std::move(verdict);
    result_.diskStampStatus = kStampNotStamped;
    NoteCategory(false);
    RecordScope();
    StopClock();
    return Report();
  }

  ReportData RunRealWrite() {
    // Before any lock: a folder the job needs would be pulled away with its volume.
    const auto held = WorkingPathsOnDisk(config().disk, ReportOutputFolder(config()));
    if (!held.empty()) return Blocked(kWorkingFolderOnTargetMessage + held.front());
    // Another disk under the listed number keeps its volumes: none is dismounted on its behalf.
    const DiskIdentityCheck listed = environment_.checkListedDisk(config().disk);
    if (!listed.same) return Blocked(kOpenedDiskDiffersMessage + listed.difference);
    // A volume still mounted on the target would be written under (and Windows rejects such
    // writes only once the partition table is gone): stop before opening the disk.
    VolumeLockList volumes = environment_.lockVolumes(config().disk, log_);
    if (!volumes.inUse.empty()) {
      ReleaseVolumes(volumes);
      return Blocked(kVolumesInUseMessage);
    }

    DeviceOpenOptions options;
    options.access = DeviceAccess::ReadWrite;
    options.creation = DeviceCreation::OpenExisting;
    options.buffering = DeviceBuffering::Unbuffered;
    options.sectorSize = SectorSize();
    const std::wstring path = TargetDevicePath(config().disk);
    DeviceOpenResult opened = environment_.openDevice(path, options);
    if (opened.device == nullptr) {
      ReleaseVolumes(volumes);
      EmitLog(log_, L"[ERROR] " + path + L": " + DescribeDiskError(opened.error));
      return EndEarly(kVerdictOpenFailed, kOpenFailedMessage, L"[ERROR] ");
    }
    Device& disk = *opened.device;
    // The number the list saved may name another disk by now: nothing is written unless the
    // open handle still answers as the listed disk.
    const DiskIdentityCheck identity = environment_.checkOpenedDisk(config().disk, disk);
    if (!identity.same) {
      GiveDiskBack(opened, volumes);
      return Blocked(kOpenedDiskDiffersMessage + identity.difference);
    }

    // The drive's own answers through the open handle: its hidden area is opened for this job
    // (or the job refused), then its firmware erase runs when one was asked for.
    std::unique_ptr<FirmwareTransport> firmware =
        environment_.openFirmware
            ? environment_.openFirmware(disk, config().disk, result_.isWinPE)
            : MakeUnavailableTransport(L"no pass-through in this environment");
    FirmwareCapabilities capabilities = DiscoverFirmwareCapabilities(*firmware);
    const HiddenAreaOutcome hidden =
        PrepareHiddenArea(disk, *firmware, capabilities, config().disk.sizeBytes, SectorSize(),
                          result_.firmware, log_);
    if (hidden.refuse) {
      firmware.reset();
      GiveDiskBack(opened, volumes);
      return Blocked(hidden.message);
    }
    result_.config.disk.sizeBytes = hidden.sizeBytes;
    if (config().firmwareMode != FirmwareMode::Off) {
      const FirmwareStepOutcome step = RunFirmwareStep(
          disk, *firmware, capabilities, config(), config().disk.sizeBytes, result_.certificateId,
          progress_, log_,
          environment_.firmwareClock.nowMs ? environment_.firmwareClock : SystemSanitizeClock(),
          result_.firmware);
      firmwarePurge_ = step.purge;
      firmwareMethod_ = step.method;
      if (step.stop) {
        firmware.reset();
        GiveDiskBack(opened, volumes);
        result_.statusCode = kStatusFailed;
        result_.verificationResult = step.stopVerdict;
        result_.diskStampStatus = kStampNotStamped;
        NoteCategory(false);
        StopClock();
        return Report();
      }
    }
    firmware.reset();

    if (SendsTrimNotice(config().standard, config().disk.mediaType)) {
      result_.trimNotice = SendTrimForWholeDisk(disk, config().disk.sizeBytes, log_);
    }

    uint64_t startLength = 0;
    const bool lengthKnown = disk.QueryLength(startLength);
    if (std::any_of(plan_.begin(), plan_.end(),
                    [](const PassSpec& p) { return p.kind == PassKind::Random; })) {
      secret_ = environment_.drawRandomSecret
                    ? RandomPassSecret::Drawn(environment_.drawRandomSecret)
                    : RandomPassSecret::Drawn();
    }
    WriteCounter passWrites(disk);
    for (const PassSpec& pass : plan_) {
      const int32_t status =
          RunHardwarePass(passWrites, config(), pass, result_.passesPlanned, cancel_, progress_,
                          log_, secret_.StreamFor(pass.passNumber));
      result_.bytesWritten = passWrites.written();
      if (status != kStatusCompleted) {
        return StopAfterPass(
            status, status == kStatusCancelled ? kVerdictCancelledByUser : kVerdictWriteError,
            opened, volumes);
      }
      ++result_.passesCompleted;
      if (EveryPass() && &pass != LastPass()) {
        const int32_t readBack = ReadBackPass(disk, pass);
        if (readBack != kStatusCompleted) {
          if (readBack == kStatusFailed) {
            EmitLog(log_, L"[ERROR] 読み戻し検証に合格しなかったため、ジョブを停止しました: " +
                              pass.name);
          }
          return StopAfterPass(readBack, result_.verificationResult, opened, volumes);
        }
      }
    }

    if (lengthKnown && SizeChanged(disk, startLength)) {
      // The read-backs that ran before stay on the record.
      return StopAfterPass(kStatusFailed, kVerdictSizeChanged, opened, volumes);
    }
    result_.statusCode = VerifyLastPass(
        disk, WipePartitionTables(disk, config().disk.sizeBytes, SectorSize(), log_));
    NoteCategory(result_.statusCode != kStatusFailed);
    RecordScope();
    secret_ = RandomPassSecret();  // its last holder: the key is wiped now
    StopClock();

    result_.sha256Fingerprint = ComputeReportFingerprint(result_);
    result_.stamp = BuildStampPayload(result_);
    if (result_.statusCode == kStatusCompleted &&
        config().postEraseState == PostEraseState::WriteStamp) {
      // The stamp goes on while the disk is still open and its volumes still locked; it is the
      // one stamp that may call this disk erased, unless sectors were out of its reach.
      StampPayload engraved = result_.stamp;
      engraved.claim = LeavesSectorsUnerased(result_.firmware) ? StampClaim::None
                                                               : StampClaim::ErasureOfThisDisk;
      const bool stamped = WriteStampImage(disk, SectorSize(), engraved, log_);
      result_.diskStampStatus = stamped ? kStampActive : kStampWriteSkipped;
    } else if (EndsAllZero()) {
      result_.diskStampStatus = kStampPureZero;
      EmitLog(log_, kLogPureZero);
    } else {
      result_.diskStampStatus = kStampNotStamped;
      // A cancelled job reached no end state to speak of.
      if (result_.statusCode == kStatusFailed) {
        EmitLog(log_, kLogNoStampVerifyFailed);
      } else if (result_.statusCode != kStatusCancelled) {
        EmitLog(log_, PlanEndsWithZeros(plan_) ? kLogNoStampSectorsOutOfReach
                                               : kLogNoStampLastPassNotZero);
      }
    }

    GiveDiskBack(opened, volumes);
    return Report();
  }

  // The NIST SP 800-88 category the media reached, recorded when the firmware step was asked
  // for. `overwritten`: every pass ran and verification did not fail.
  void NoteCategory(bool overwritten) {
    if (config().firmwareMode == FirmwareMode::Off) return;
    result_.firmware.nistCategory =
        NistCategoryText(firmwarePurge_, firmwareMethod_, overwritten, config().disk.mediaType);
  }

  // Every end after the disk was opened: the system re-reads the partition table while the
  // volumes are still held, so that no volume of the old layout mounts again over half-erased
  // or erased data; then the disk is closed and its volumes released.
  static void GiveDiskBack(DeviceOpenResult& opened, VolumeLockList& volumes) {
    if (opened.device != nullptr) {
      opened.device->UpdateProperties();  // fails harmlessly on image files
      opened.device.reset();
    }
    ReleaseVolumes(volumes);
  }

  const EraseJobEnvironment& environment_;
  const CancelFlag& cancel_;
  const ProgressCallback& progress_;
  const LogCallback& log_;
  ReportData result_;
  PassPlan plan_;
  uint64_t startTick_ = 0;
  bool firmwarePurge_ = false;
  std::wstring firmwareMethod_;
  RandomPassSecret secret_;               // only while passes are written and read back
  std::vector<ReadBackFacts> readBacks_;  // in the order they ran
};

VolumeLockList LockVolumesOfDisk(const DiskInfo& disk, const LogCallback& log) {
#ifdef _WIN32
  // Lettered volumes live only on real disks; an image file has none to take away.
  if (!IsRawDevicePath(disk.devicePath)) return {};
#endif
  return LockAndDismountVolumes(disk, log);
}

}  // namespace

EraseJobEnvironment DefaultEraseJobEnvironment() {
  EraseJobEnvironment environment;
  environment.openDevice = OpenDevice;
  environment.lockVolumes = LockVolumesOfDisk;
  environment.checkOpenedDisk = CheckOpenedDisk;
  environment.checkListedDisk = CheckListedDisk;
  environment.prepareReportFolder = PrepareReportFolder;
  environment.saveReports = SaveReports;
  environment.openFirmware = [](Device& opened, const DiskInfo& disk, int32_t isWinPE) {
    return OpenFirmwareTransport(
        opened, {TargetDevicePath(disk), BusPassThrough(disk.busType), isWinPE == 1});
  };
  environment.firmwareClock = SystemSanitizeClock();
  environment.drawRandomSecret = FillRandom;
  return environment;
}

ReportData RunEraseJob(const EraseJobConfig& config, int32_t isWinPE, const CancelFlag& cancel,
                       const ProgressCallback& progress, const LogCallback& log) {
  return RunEraseJob(DefaultEraseJobEnvironment(), config, isWinPE, cancel, progress, log);
}

ReportData RunEraseJob(const EraseJobEnvironment& environment, const EraseJobConfig& config,
                       int32_t isWinPE, const CancelFlag& cancel, const ProgressCallback& progress,
                       const LogCallback& log) {
  return JobRun(environment, config, isWinPE, cancel, progress, log).Run();
}

}  // namespace tvde
