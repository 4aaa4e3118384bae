// The whole erase job on an in-memory disk: the early ends, and every end of a real and of a
// simulated job with its texts, the bytes it wrote and the stamp it reads back.
#include "job/erase_job_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/ecdsa_p256.h"
#include "base/file_system.h"
#include "base/host_environment.h"
#include "base/keystream.h"
#include "base/text.h"
#include "erase/device_preparation.h"
#include "job/report_output.h"
#include "stamp/stamp_detect.h"
#include "support/fake_drive.h"
#include "support/fault_device.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::CString;
using testing::FaultDevice;
using testing::U8;

constexpr uint64_t kMiB = 1024 * 1024;
const std::string kStamped =
    "BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)";
const std::string kPureZero = "PURE ZERO WIPED (スタンプなし・全セクタ 0x00 完全未初期化状態)";
const std::string kPassed = "PASSED (All Sampled Sectors Verified Clean)";
const std::string kLogNotZero =
    "[DISK STATE] スタンプなしで完了しました。最終パスが 0x00 ではないため、全セクタ 0x00 の状態にはなりません。";

// Hands the job a device it may destroy while the test keeps the real one for inspection.
class DeviceProxy final : public Device {
 public:
  DeviceProxy(Device& target, int32_t& open) : target_(target), open_(open) { ++open_; }
  ~DeviceProxy() override { --open_; }
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
  int32_t& open_;
};

// Its release is counted and recorded among the disk's events.
class RecordingLock final : public VolumeLock {
 public:
  RecordingLock(int32_t& released, std::vector<std::string>& events)
      : released_(released), events_(events) {}
  ~RecordingLock() override {
    ++released_;
    events_.push_back("volumes-released");
  }

 private:
  int32_t& released_;
  std::vector<std::string>& events_;
};

// A job environment around one in-memory disk (filled with 0xA5), recording what the job did.
// The certificate folder is checked for real, in a scratch folder; the reports are not written.
struct JobHarness {
  explicit JobHarness(uint64_t sizeBytes) : disk(FaultDevice::InMemory(sizeBytes, 512, 0xA5)) {
    // Never opened, but an ordinary file name: under Wine anything else is a host device.
    config.disk.devicePath = dir.File("test-disk.img");
    testing::WriteFilledFile(dir.path() / "test-disk.img", 1, 0);
    config.disk.sizeBytes = sizeBytes;
    config.disk.safetyStatus = SafetyStatus::Erasable;
    config.standard = EraseStandard::ZeroFill;
    config.executionMode = ExecutionMode::RealWrite;
    config.outputFolder = dir.File("certs");
    environment.openDevice = [this](const std::wstring& path, const DeviceOpenOptions& options) {
      openedPaths.push_back(path);
      openOptions = options;
      if (failOpen) return DeviceOpenResult{nullptr, 5};
      return DeviceOpenResult{std::make_unique<DeviceProxy>(*disk, openDevices), 0};
    };
    environment.lockVolumes = [this](const DiskInfo&, const LogCallback& sink) {
      ++lockCalls;
      VolumeLockList list;
      list.locks.push_back(std::make_unique<RecordingLock>(released, disk->events));
      list.inUse = volumesInUse;
      EmitLog(sink, L"[SAFETY] test volume locked");
      return list;
    };
    environment.checkListedDisk = [this](const DiskInfo&) {
      EXPECT_EQ(lockCalls, 0) << "asked before any volume is taken away";
      return listed;
    };
    environment.checkOpenedDisk = [this](const DiskInfo& saved, Device&) {
      ++identityChecks;
      EXPECT_EQ(openDevices, 1) << "asked of the open disk";
      EXPECT_EQ(saved.devicePath, config.disk.devicePath);
      return identity;
    };
    environment.prepareReportFolder = PrepareReportFolder;
    environment.saveReports = [this](ReportData&) {
      ++saveCalls;
      openAtSave = openDevices;  // the certificate comes after the disk is closed
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
  bool Logged(const std::string& start) const {
    return std::any_of(log.begin(), log.end(), [&](const auto& l) { return l.starts_with(start); });
  }
  const std::vector<uint8_t>& bytes() const { return disk->memory()->bytes(); }

  testing::TempDir dir;
  std::unique_ptr<FaultDevice> disk;
  EraseJobConfig config;
  EraseJobEnvironment environment;
  CancelFlag cancel{0};
  bool failOpen = false, saveSucceeds = true;
  DiskIdentityCheck identity{true, L""};  // what the open disk says about itself
  DiskIdentityCheck listed{true, L""};    // what the disk under the listed number says
  int32_t identityChecks = 0;
  std::vector<std::wstring> volumesInUse, openedPaths;
  DeviceOpenOptions openOptions;
  int32_t lockCalls = 0, released = 0, saveCalls = 0, openDevices = 0;
  int32_t openAtSave = -1, releasedAtSave = -1;
  std::vector<EraseProgressInfo> progress;
  std::vector<std::string> log;
};

TEST(EraseJobEarlyEnd, NothingIsOpenedWrittenOrCertifiedBeforeTheJobMayStart) {
  const std::string blocked = "BLOCKED BY SAFETY GUARD", folder = "REPORT FOLDER NOT WRITABLE";
  const std::string critical = "[CRITICAL SAFETY] ";
  struct Case {
    bool applies;
    std::function<void(JobHarness&)> arm;
    std::string verdict, tag, message;  // the log line is tag + message (its start given here)
    int32_t locks;                      // each lock taken is given back
  };
  auto status = [](int32_t v) {
    return [v](JobHarness& j) { j.config.disk.safetyStatus = static_cast<SafetyStatus>(v); };
  };
  const std::string locked = "安全保護ロックされているディスクのため";
  // clang-format off
  const Case cases[] = {
      // The driver's own guard, whatever the caller checked: every protected status, and values
      // no status has.
      {true, status(1), blocked, critical, locked, 0},
      {true, status(2), blocked, critical, locked, 0},
      {true, status(3), blocked, critical, locked, 0},
      {true, status(5), blocked, critical, locked, 0},
      {true, status(-1), blocked, critical, locked, 0},
      {IsRunningUnderWine(), [](JobHarness& j) { j.config.disk.devicePath = L"\\\\.\\PhysicalDrive0"; },
       blocked, critical, "Wine環境ではホストの実ディスクを保護するため", 0},
      {true, [](JobHarness& j) { j.volumesInUse = {L"E:"}; }, blocked, critical,
       "対象ディスク上のファイルシステムが使用中のため", 1},
      {true, [](JobHarness& j) { j.failOpen = true; }, "OPEN HANDLE FAILED", "[ERROR] ",
       "物理ディスクを書き込みモードで開けませんでした。", 1},
      // Another disk under the listed number, or one the rules now protect: no write.
      {true,
       [](JobHarness& j) {
         j.identity = {false, L"シリアル番号: 一覧 A / 現在 B"};
       },
       blocked, critical, "開いたディスクが一覧取得時のディスクと一致しない", 1},
      // Already before the lock: the other disk's volumes stay mounted.
      {true, [](JobHarness& j) { j.listed = {false, L"モデル: 一覧 A / 現在 B"}; }, blocked, critical,
       "開いたディスクが一覧取得時のディスクと一致しない", 0},
      // A folder under a file can never be made: found out before the disk is touched.
      {true, [](JobHarness& j) {
         testing::WriteFilledFile(j.dir.path() / "file", 1, 0);
         j.config.outputFolder = JoinPath(j.dir.File("file"), L"certs");
       }, folder, "[ERROR] ", "証明書・監査ログの保存先フォルダーを作成または書き込みできない", 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    if (!c.applies) continue;
    SCOPED_TRACE(c.message);
    JobHarness job(4 * kMiB);
    c.arm(job);
    const ReportData result = job.Run();
    EXPECT_EQ(result.statusCode, kStatusFailed);
    EXPECT_EQ(U8(result.verificationResult), c.verdict);
    EXPECT_EQ(U8(result.diskStampStatus), "NOT STAMPED");
    EXPECT_TRUE(U8(result.errorMessage).starts_with(c.message));
    EXPECT_TRUE(c.verdict != folder ||
                U8(result.errorMessage).ends_with("保存先: " + U8(job.config.outputFolder)));
    ASSERT_FALSE(job.log.empty());
    EXPECT_EQ(job.log.back(), c.tag + U8(result.errorMessage));
    EXPECT_EQ(result.elapsedSeconds, 0.0);
    EXPECT_EQ(result.bytesWritten, 0u);
    EXPECT_FALSE(result.endTime.empty());
    EXPECT_EQ(job.lockCalls, c.locks);
    EXPECT_EQ(job.released, c.locks);
    const bool opened = c.verdict == "OPEN HANDLE FAILED" || !job.identity.same;
    EXPECT_EQ(job.openedPaths.size(), opened ? 1u : 0u);
    EXPECT_EQ(job.identityChecks, job.identity.same ? 0 : 1);
    EXPECT_EQ(job.openDevices, 0);
    EXPECT_EQ(job.saveCalls, 0);
    EXPECT_EQ(job.disk->writeCalls, 0);
    EXPECT_EQ(job.disk->CountEvents("trim"), 0u);
    // A disk that was opened is given back with its layout read again.
    EXPECT_EQ(job.disk->CountEvents("update-properties"), opened && !job.failOpen ? 1u : 0u);
  }
}

// Every way a real job ends: status, texts, the bytes really written, and a disk that holds what
// the texts claim: all zeroes, or a stamp that reads back and whose boot screens say whether it
// was verified.
TEST(EraseJobReal, EachEndStatesOnlyWhatIsTrueOfTheDisk) {
  struct Case {
    const char* name;
    uint64_t size;
    std::function<void(JobHarness&)> arm;
    int32_t status;
    std::string verdict, stamp;
    uint64_t bytes;       // so passes completed: bytes / size
    std::string logLine;  // the start of a line that must appear
  };
  const std::string skipped = "SKIPPED (検証なし設定)";
  const auto cancelAt = [](JobHarness& j, int32_t at) {
    j.disk->faults.beforeWrite = [&j, at](int32_t write) {
      if (write == at) j.cancel.store(1);
    };
  };
  const Case cases[] = {
      // clang-format off
      // On a solid-state disk, with the folder left to the job: it names the folder first and
      // sends the TRIM notice before the first write (a refused notice never stops the job).
      {"pure zero chosen", 6 * kMiB + 512, [](JobHarness& j) {
         j.config.postEraseState = PostEraseState::PureZero;
         j.config.disk.mediaType = MediaKind::NvmeSsd;
         j.disk->faults.rejectTrim = true;
         j.config.outputFolder.clear();
         j.environment.prepareReportFolder = [](const EraseJobConfig&, std::wstring& folder) {
           folder = L"/beside/the/program/Certificates";
           return true;
         };
       }, kStatusCompleted, kPassed, kPureZero, 6 * kMiB + 512,
       "[DISK STATE] スタンプを記録せず、ディスク全領域を完全消去 (0x00"},
      {"verification failed", 4 * kMiB,
       [](JobHarness& j) { j.disk->faults.flipOffset = 3 * kMiB + 12345;
                           j.config.verifyMode = VerifyMode::Full;
                           j.config.disk.mediaType = MediaKind::NvmeSsd; },  // TRIM accepted
       kStatusFailed, "FAILED (Pattern Mismatch Detected)", "NOT STAMPED", 4 * kMiB,
       "[DISK STATE] ベリファイ検証に合格しなかったため、スタンプを記録せずに終了しました。"},
      // The last wipe write, before verification: a cancelled job claims no end state.
      {"verification cancelled", 4 * kMiB, [&](JobHarness& j) { cancelAt(j, 3); },
       kStatusCancelled, "CANCELLED", "NOT STAMPED", 4 * kMiB, ""},
      // A device that grows during the passes keeps its old data in the new part.
      {"device grown during the passes", 4 * kMiB, [](JobHarness& j) {
         j.disk->faults.beforeWrite = [&j](int32_t) { j.disk->memory()->bytes().resize(5 * kMiB); };
       }, kStatusFailed, "DEVICE SIZE CHANGED", "NOT STAMPED", 4 * kMiB,
       "[ERROR] 消去中にデバイスの容量が変わったため、消去済みとして証明しません (開始時 4194304 "
       "バイト、パス終了後 5242880 バイト、書き込まれていない 1048576 バイト)。"},
      // The only read is the stamp's; the flipped byte is inside its certificate ID.
      {"stamp does not read back", 4 * kMiB,
       [](JobHarness& j) { j.config.verifyMode = VerifyMode::None; j.disk->faults.flipOffset = 0x200 + 20; },
       kStatusCompleted, skipped, "STAMP WRITE SKIPPED", 4 * kMiB,
       "[ERROR] 書き込んだレポートスタンプを読み戻せませんでした (証明書IDが一致しません)。"},
      {"unverified", 4 * kMiB, [](JobHarness& j) { j.config.verifyMode = VerifyMode::None; },
       kStatusCompleted, skipped, kStamped, 4 * kMiB, ""},
      // Pass 1 took three chunks, pass 2 one more.
      {"write error in pass 2", 12 * kMiB,
       [](JobHarness& j) { j.config.standard = EraseStandard::Dod522022M; j.disk->faults.failWriteAt = 5; },
       kStatusFailed, "WRITE ERROR", "NOT STAMPED", 16 * kMiB, ""},
      // The first chunk of pass 2 is still written.
      {"cancel in pass 2", 8 * kMiB,
       [&](JobHarness& j) { j.config.standard = EraseStandard::Dod522022M; cancelAt(j, 3); },
       kStatusCancelled, "CANCELLED BY USER", "NOT STAMPED", 12 * kMiB, ""},
      {"certificate not written", 4 * kMiB, [](JobHarness& j) { j.saveSucceeds = false; },
       kStatusCompleted, kPassed, kStamped, 4 * kMiB, "[ERROR] 保存できなかったファイル: TVDE-"},
      // Pass 2 reads back wrong (a byte at 5 MiB from its first write on): the job stops there.
      {"every pass, pass 2 reads back wrong", 8 * kMiB, [](JobHarness& j) {
         j.config.standard = EraseStandard::Dod522022M;
         j.config.verifyMode = VerifyMode::EveryPass;
         j.disk->faults.beforeWrite = [&j](int32_t w) { if (w == 3) j.disk->faults.flipOffset = 5 * kMiB + 7; };
       }, kStatusFailed, "FAILED (Pattern Mismatch Detected)", "NOT STAMPED", 16 * kMiB,
       "[ERROR] 読み戻し検証に合格しなかったため、ジョブを停止しました: Pass 2/3: Complement Pattern (0xFF)"},
      {"unknown standard", 4 * kMiB,
       [](JobHarness& j) { j.config.standard = EraseStandard{42};
                           j.config.postEraseState = PostEraseState::PureZero; },
       kStatusCompleted, kPassed, "NOT STAMPED", 0, kLogNotZero},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobHarness job(c.size);
    c.arm(job);
    const ReportData result = job.Run();
    EXPECT_EQ(result.statusCode, c.status);
    EXPECT_EQ(U8(result.verificationResult), c.verdict);
    EXPECT_EQ(U8(result.diskStampStatus), c.stamp);
    EXPECT_EQ(result.bytesWritten, c.bytes);
    EXPECT_EQ(result.passesCompleted, c.bytes / c.size);
    EXPECT_EQ(job.saveCalls, 1);
    EXPECT_EQ(job.releasedAtSave, 1);  // the certificate comes after the disk is given back
    EXPECT_EQ(job.openAtSave, 0);
    EXPECT_TRUE(job.Logged(c.logLine)) << c.logLine;
    EXPECT_FALSE(c.status == kStatusCancelled && job.Logged("[DISK STATE]"));
    EXPECT_EQ(job.Logged("[LOG PATH] 保存先フォルダーが指定されていないため、プログラムのフォルダー"
                         "に保存します: /beside/the/program/Certificates"),
              job.config.outputFolder.empty());
    // The TRIM outcome is recorded as the device answered: a refusal is never claimed as done.
    const bool trimmed = job.config.disk.mediaType == MediaKind::NvmeSsd;
    EXPECT_EQ(job.disk->events.front().starts_with("trim"), trimmed);
    EXPECT_EQ(result.trimNotice, !trimmed                      ? L""
                                 : job.disk->faults.rejectTrim ? kTrimRefused
                                                               : kTrimAccepted);
    EXPECT_EQ(job.identityChecks, 1);
    // Whatever the end, the system re-reads the layout before the volumes are released.
    EXPECT_EQ(job.disk->events.end()[-2], "update-properties");
    EXPECT_EQ(job.disk->events.back(), "volumes-released");
    EXPECT_TRUE(job.openOptions.access == DeviceAccess::ReadWrite &&
                job.openOptions.buffering == DeviceBuffering::Unbuffered);
    EXPECT_TRUE(c.stamp != kPureZero || testing::AllZero(job.bytes(), 0, job.bytes().size()));
    if (c.stamp == kStamped) {
      const std::string record = CString(job.bytes(), 0x200);
      StampPayload readBack;
      EXPECT_TRUE(ApplyStampRecord(record, readBack));
      EXPECT_EQ(job.disk->events.end()[-3], "read 0 2560");  // the last write was read back
      EXPECT_EQ(readBack.certificateId, result.certificateId);
      EXPECT_EQ(readBack.passesCompleted, 1);
      const std::string status =
          c.verdict == skipped ? "SANITIZED, UNVERIFIED" : "SANITIZED & VERIFIED";
      EXPECT_TRUE(
          CString(job.bytes(), 0x50).starts_with("\r\n[TOREVAL DISK ERASER] " + status + ". "));
      EXPECT_TRUE(CString(job.bytes(), 0xA60).substr(0, 80).ends_with("  [" + status + "]\r\n"));
    }
  }
}

// Every pass read back, the random one against the keystream of the job's drawn key and nonce,
// which no output holds (the disk, the signed report set, the log), raw or in hexadecimal.
TEST(EraseJobReal, EveryPassIsReadBackAndTheRandomPassKeyStaysInMemory) {
  std::vector<uint8_t> secret(40);  // key, then nonce, in the order the job draws them
  for (size_t i = 0; i < secret.size(); ++i)
    secret[i] = static_cast<uint8_t>(37 * i + 11);
  JobHarness job(8 * kMiB);
  job.config.standard = EraseStandard::Dod522022M;
  job.config.verifyMode = VerifyMode::EveryPass;
  job.environment.saveReports = SaveReports;
  EcdsaKeyPair signing;
  std::string error;
  job.config.signingKeyFile = job.dir.File("key.pem");
  ASSERT_TRUE(
      GenerateEcdsaP256KeyPair(signing, error) &&
      WriteNewFile(job.config.signingKeyFile, signing.privateKeyPem, FileAccess::OwnerOnly, error))
      << error;
  size_t drawn = 0;
  job.environment.drawRandomSecret = [&](std::span<uint8_t> out) {
    std::copy_n(secret.begin() + static_cast<ptrdiff_t>(drawn), out.size(), out.begin());
    drawn += out.size();
    return true;
  };
  const ReportData result = job.Run();
  const std::string scope =
      "every pass: full surface, 16,384 sectors each, compared with pass 1 (0x00), pass 2 (0xFF), "
      "pass 3 (random stream) and the partition-table areas with 0x00";
  EXPECT_EQ(U8(result.verificationScope), scope);
  EXPECT_NE(testing::ReadTextFile(result.txtPath).find("  Verification Scope : " + scope + "\r\n"),
            std::string::npos);
  EXPECT_EQ(U8(result.verificationResult), kPassed);
  EXPECT_FALSE(result.signaturePath.empty());
  EXPECT_EQ(job.disk->CountEvents("read "), 3u * 2 + 1);  // each pass, and the stamp
  KeystreamKey key{};
  std::copy_n(secret.begin(), key.size(), key.begin());
  std::vector<uint8_t> stream(4096);
  ASSERT_TRUE(GenerateKeystream(key, GetBe64(std::span(secret).subspan(32)) ^ 3, 6 * kMiB, stream));
  EXPECT_TRUE(std::equal(stream.begin(), stream.end(), job.bytes().begin() + 6 * kMiB));

  std::vector<std::string> outputs = {std::string(job.bytes().begin(), job.bytes().end())};
  for (const std::wstring& file :
       {result.htmlPath, result.txtPath, result.jsonPath, result.signaturePath}) {
    outputs.push_back(testing::ReadTextFile(file));
  }
  outputs.insert(outputs.end(), job.log.begin(), job.log.end());
  for (const auto& [from, bytes] : {std::pair<size_t, size_t>{0, 32}, {32, 8}}) {
    std::string raw(secret.begin() + from, secret.begin() + from + bytes), hex, upper;
    for (const char c : raw)
      hex += FormatPrintf("%02x", uint8_t(c)), upper += FormatPrintf("%02X", uint8_t(c));
    for (const std::string& output : outputs) {
      for (const std::string& form : {raw, hex, upper})
        EXPECT_EQ(output.find(form.substr(0, 16)), std::string::npos);
    }
  }
}

// Hands the job a transport to the test's simulated drive, which it keeps.
class TransportProxy final : public FirmwareTransport {
 public:
  explicit TransportProxy(FirmwareTransport& drive) : d_(drive) {}
  PassThroughKind Kind() const override { return d_.Kind(); }
  std::wstring Unavailable() const override { return d_.Unavailable(); }
  NvmeAnswer Nvme(const NvmeAdminCommand& c, std::span<uint8_t> data) override {
    return d_.Nvme(c, data);
  }
  ScsiAnswer Scsi(const ScsiCommand& c, std::span<uint8_t> data) override {
    return d_.Scsi(c, data);
  }
  AtaAnswer Ata(const AtaCommand& c, std::span<uint8_t> data) override { return d_.Ata(c, data); }
  std::optional<uint32_t> NamespaceId() override { return d_.NamespaceId(); }
  bool RefreshCapacity() override { return d_.RefreshCapacity(); }

 private:
  FirmwareTransport& d_;
};

// The drive's own erase before the passes, and its hidden area: what the reports say it was
// told, what it answered and what the media reached, on every way it can go.
TEST(EraseJobFirmware, TheReportsSayWhatTheDriveWasToldAndWhatItReached) {
  struct Case {
    const char* name;
    PassThroughKind kind;  // None: the environment has no pass-through
    std::function<void(testing::FakeDrive&, JobHarness&)> arm;
    int32_t status;
    std::string sanitize, category, hidden;  // starts of the report lines ("" absent)
  };
  const PassThroughKind nvme = PassThroughKind::Nvme, ata = PassThroughKind::Scsi;
  const std::string clearFlash = "Clear (overwrite only; flash media keep spare blocks)";
  const std::string userData = "NVMe Format NVM (SES=1 User Data Erase)";
  // clang-format off
  const Case cases[] = {
      {"format confirmed", nvme, [](auto&, auto&) {}, kStatusCompleted,
       userData + ": COMPLETED (the drive reported completion", "Purge (firmware: " + userData + ")", ""},
      {"success that changed nothing", nvme, [](auto& d, auto&) { d.eraseChangesNothing = true; },
       kStatusCompleted, userData + ": REPORTED COMPLETE, NOT COUNTED", clearFlash, ""},
      {"no pass-through", PassThroughKind::None, [](auto&, auto&) {}, kStatusCompleted,
       "firmware sanitize not available (no firmware commands: no pass-through in this environment) — overwrite passes only",
       clearFlash, ""},
      {"frozen", ata, [](auto& d, auto&) { d.SetWord(128, 0x0009); }, kStatusCompleted,
       "FROZEN: firmware sanitize not available (ATA SECURITY ERASE UNIT (normal): frozen: ", clearFlash,
       "none (native max 8192 sectors = reported)"},
      {"shared controller", nvme, [](auto& d, auto& j) { d.sanicap = 2; d.active = {1, 2};
                                                         j.config.firmwareMode = FirmwareMode::Block; },
       kStatusCompleted, "firmware sanitize not available (NVMe Sanitize Block Erase: it acts on the "
       "whole controller, and namespace 2 of the same controller is not the chosen target)", clearFlash, ""},
      {"sanitize failed", nvme, [](auto& d, auto&) { d.sanicap = 2; d.eraseFails = true; }, kStatusFailed,
       "NVMe Sanitize Block Erase: FAILED", "Not reached", ""},
      {"cancelled after the sanitize", nvme, [](auto& d, auto& j) { d.sanicap = 1; j.cancel.store(1); },
       kStatusCancelled, "NVMe Sanitize Crypto Erase: COMPLETED", "Purge (firmware: NVMe Sanitize Crypto Erase)", ""},
      {"HPA restored", ata, [](auto& d, auto& j) { d.SetWord(82, 0x0400); d.SetUserSectors(6144); d.nativeMaxLba = 8191;
                                                   j.config.disk.sizeBytes = 3 * kMiB;
                                                   j.config.firmwareMode = FirmwareMode::Off; },
       kStatusCompleted, "", "", "HPA: 2048 sectors were hidden (reported 6144, native 8192); the native max address was restored"},
      {"DCO limit", ata, [](auto& d, auto& j) { d.SetWord(83, 0x0C00); d.dcoMaxLba = 9999;
                                                j.config.firmwareMode = FirmwareMode::Off; },
       kStatusCompleted, "", "", "none (native max 8192 sectors = reported); DCO restriction: 1808 sectors (above the native max address: NOT erased"},
      {"AMA refused", ata, [](auto& d, auto& j) { d.SetWord(119, 0x4100); d.SetUserSectors(6144); d.nativeMaxLba = 8191;
                                                  j.config.disk.sizeBytes = 3 * kMiB; },
       kStatusFailed, "", "", ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    JobHarness job(4 * kMiB);
    job.config.disk.mediaType = MediaKind::NvmeSsd;
    job.config.firmwareMode = FirmwareMode::Auto;
    job.config.postEraseState = PostEraseState::PureZero;
    testing::FakeDrive drive(c.kind, c.kind == ata, &job.disk->memory()->bytes());
    c.arm(drive, job);
    if (c.kind != PassThroughKind::None) {
      job.environment.openFirmware = [&drive](Device&, const DiskInfo&, int32_t) {
        return std::make_unique<TransportProxy>(drive);
      };
    }
    job.environment.firmwareClock = {[] { return uint64_t{0}; }, [](uint32_t) {}};
    const ReportData result = job.Run();
    const FirmwareReport& f = result.firmware;
    EXPECT_EQ(result.statusCode, c.status);
    EXPECT_TRUE(U8(f.sanitize).starts_with(c.sanitize) && f.sanitize.empty() == c.sanitize.empty())
        << U8(f.sanitize);
    EXPECT_TRUE(U8(f.nistCategory).starts_with(c.category) &&
                f.nistCategory.empty() == c.category.empty())
        << U8(f.nistCategory);
    EXPECT_TRUE(U8(f.hiddenArea).starts_with(c.hidden) && f.hiddenArea.empty() == c.hidden.empty())
        << U8(f.hiddenArea);
    // Nothing was sent that the reports do not name, and a command comes with its answer.
    EXPECT_EQ(f.command.empty(), f.completion.empty());
    const bool issued =
        std::count_if(drive.sent.begin(), drive.sent.end(), [](const std::string& s) {
          return s.starts_with("nvme 80") || s.starts_with("nvme 84");
        }) != 0;
    EXPECT_EQ(issued, !f.command.empty());
    if (std::string(c.name) == "AMA refused") {
      EXPECT_EQ(U8(result.verificationResult), "BLOCKED BY SAFETY GUARD");
      EXPECT_TRUE(U8(result.errorMessage).starts_with("隠し領域 (HPA/AMA) の 2048 セクタ"));
      EXPECT_EQ(job.disk->writeCalls, 0);
      continue;
    }
    EXPECT_EQ(job.saveCalls, 1);
    // The check sectors are the only writes of a job that stops at the drive's failure.
    EXPECT_EQ(result.passesCompleted, c.status == kStatusCompleted ? 1 : 0);
    if (c.status == kStatusCompleted) {
      EXPECT_EQ(result.config.disk.sizeBytes, 4 * kMiB);  // the restored range included
      EXPECT_TRUE(testing::AllZero(job.bytes(), 0, job.bytes().size()));
    }
    // Zeroes written everywhere the job reached, yet not every sector: no 0x00 state is claimed,
    // and the log gives the sectors out of reach as the reason, not the last pass.
    if (std::string(c.name) == "DCO limit") {
      EXPECT_EQ(U8(result.diskStampStatus), "NOT STAMPED");
      EXPECT_TRUE(std::any_of(job.log.begin(), job.log.end(), [](const std::string& line) {
        return line.find("DCO で制限された領域のセクタ") != std::string::npos;
      }));
    }
  }
}

TEST(EraseJobSimulation, ASimulationWritesNothingAndClaimsNoMoreThanItsPlan) {
  struct Case {
    EraseStandard standard;
    PostEraseState post;
    VerifyMode verify;
    bool cancel;
    std::string stamp, lastLog;  // the start of the last log line
  };
  const std::string stamped = "[DISK STAMP] 実機消去＆ハードウェアレポート画面スタンプ (Cert ID: ";
  using S = EraseStandard;
  using P = PostEraseState;
  using V = VerifyMode;
  // clang-format off
  const Case cases[] = {
      {S::NistPurge, P::WriteStamp, V::Quick, false,
       "STAMPED (Simulation Verified - Bootable Report Stamp & Hardware Profile Ready)", stamped},
      {S::ZeroFill, P::WriteStamp, V::None, false,
       "STAMPED (Simulation Unverified - Bootable Report Stamp & Hardware Profile Ready)", stamped},
      {S::ZeroFill, P::PureZero, V::None, false, "PURE ZERO WIPED (スタンプなし・完全未初期化状態)",
       "[DISK STATE] 通常通りディスクを完全消去"},
      {S::HmgIs5Enhanced, P::PureZero, V::None, false, "NOT STAMPED", kLogNotZero},
      {S::ZeroFill, P::PureZero, V::Quick, true, "ABORTED", "[SIMULATION] 開始: Pass 1/1"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stamp);
    JobHarness job(4 * kMiB);
    job.config.disk.sizeBytes = 1ull << 40;  // only read from the record, never opened
    job.config.disk.safetyStatus = SafetyStatus::ProtectedSystemDisk;  // plays no part here
    job.config.executionMode = ExecutionMode::Simulation;
    job.config.standard = c.standard;
    job.config.postEraseState = c.post;
    job.config.verifyMode = c.verify;
    job.cancel.store(c.cancel ? 1 : 0);
    const ReportData result = job.Run();
    EXPECT_EQ(result.statusCode, c.cancel ? kStatusCancelled : kStatusCompleted);
    EXPECT_EQ(U8(result.verificationResult), c.cancel ? "ABORTED"
                                             : c.verify == VerifyMode::None
                                                 ? "SKIPPED (検証なし設定)"
                                                 : "PASSED (Simulation 100% Verified)");
    EXPECT_EQ(U8(result.diskStampStatus), c.stamp);
    EXPECT_EQ(result.bytesWritten, 0u);
    EXPECT_EQ(result.passesCompleted, c.cancel ? 0 : result.passesPlanned);
    EXPECT_TRUE(job.openedPaths.empty() && job.lockCalls == 0);
    EXPECT_EQ(job.saveCalls, 1);
    EXPECT_EQ(job.log.front(),
              "=== [安全シミュレーション(Dry-Run)モード] 実際のディスク内容は変更されません ===");
    EXPECT_TRUE(job.log.back().starts_with(c.lastLog)) << job.log.back();
    for (size_t i = 1; i < job.progress.size(); ++i) {  // only up within each phase
      EXPECT_TRUE(job.progress[i].phase != job.progress[i - 1].phase ||
                  job.progress[i].overallPercent >= job.progress[i - 1].overallPercent);
    }
    EXPECT_TRUE(c.cancel ? job.progress.empty() : job.progress.back().overallPercent == 100);
  }
}

}  // namespace
}  // namespace tvde
