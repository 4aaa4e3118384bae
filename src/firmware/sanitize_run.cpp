// The firmware erase as the drive is told it and as it reports back.
#include "firmware/sanitize_run.h"

#include <algorithm>
#include <array>

#include "base/clock.h"
#include "base/text.h"

namespace tvde {
namespace {

using M = FirmwareMethod;

constexpr int32_t kUnansweredPollsAllowed = 5;  // a status that stays "never started"
constexpr uint32_t kMinimumEraseUnitMinutes = 120;

std::wstring NvmeCompletion(const NvmeAnswer& a) {
  return a.outcome == TransportOutcome::Answered ? DescribeNvmeStatus(a.status)
                                                 : DescribeTransportFailure(a.outcome, a.osError);
}

std::wstring AtaCompletion(const AtaAnswer& a) {
  if (a.outcome != TransportOutcome::Answered)
    return DescribeTransportFailure(a.outcome, a.osError);
  if (a.registers) return DescribeAtaRegisters(*a.registers);
  return L"ATA command completed without error";
}

std::wstring ScsiCompletion(const ScsiAnswer& a) {
  if (a.outcome != TransportOutcome::Answered)
    return DescribeTransportFailure(a.outcome, a.osError);
  if (a.status == 0) return L"SCSI status 00h GOOD";
  return FormatPrintfW("SCSI status %02Xh, ", a.status) + DescribeSense(ParseSense(a.sense));
}

class Runner {
 public:
  Runner(FirmwareTransport& transport, const FirmwareCapabilities& caps,
         const SanitizeRunOptions& options, const SanitizeClock& clock)
      : t_(transport), caps_(caps), options_(options), clock_(clock), start_(clock.nowMs()) {}

  SanitizeRun Run(M method) {
    switch (method) {
      case M::NvmeSanitizeCrypto:
        NvmeSanitizeRun(NvmeSanitizeAction::CryptoErase);
        break;
      case M::NvmeSanitizeBlock:
        NvmeSanitizeRun(NvmeSanitizeAction::BlockErase);
        break;
      case M::NvmeSanitizeOverwrite:
        NvmeSanitizeRun(NvmeSanitizeAction::Overwrite);
        break;
      case M::NvmeFormatCrypto:
        NvmeFormatRun(NvmeSecureErase::Crypto);
        break;
      case M::NvmeFormatUserData:
        NvmeFormatRun(NvmeSecureErase::UserData);
        break;
      case M::AtaSanitizeCrypto:
        AtaSanitizeRun(AtaSanitizeCryptoScramble());
        break;
      case M::AtaSanitizeBlock:
        AtaSanitizeRun(AtaSanitizeBlockErase());
        break;
      case M::AtaSanitizeOverwrite:
        AtaSanitizeRun(AtaSanitizeOverwrite(0));
        break;
      case M::AtaSecurityEraseEnhanced:
      case M::AtaSecurityErase:
        AtaSecurityRun(method == M::AtaSecurityEraseEnhanced);
        break;
      case M::ScsiSanitizeCrypto:
        ScsiSanitizeRun(ScsiSanitizeAction::CryptoErase);
        break;
      case M::ScsiSanitizeBlock:
        ScsiSanitizeRun(ScsiSanitizeAction::BlockErase);
        break;
      case M::ScsiSanitizeOverwrite:
        ScsiSanitizeRun(ScsiSanitizeAction::Overwrite);
        break;
      case M::ScsiFormatUnit:
        ScsiFormatRun();
        break;
      case M::WindowsReinitialize:
      case M::WindowsReinitializeCrypto:
      case M::WindowsReinitializeBlock:
        ReinitializeRun(method);
        break;
      default:
        End(SanitizeResult::Refused, L"no firmware erase was chosen");
        break;
    }
    run_.elapsedMs = clock_.nowMs() - start_;
    return run_;
  }

 private:
  void Log(const std::wstring& line) const { EmitLog(options_.log, L"[FIRMWARE] " + line); }
  void Progress(uint32_t value) const {
    if (options_.progress && !waitingForEarlier_) options_.progress(value);
  }
  bool Expired() const { return clock_.nowMs() - start_ > options_.maxWaitMs; }
  void End(SanitizeResult result, std::wstring detail = {}) {
    run_.result = result;
    run_.detail = std::move(detail);
  }

  // A poll answered or not; a drive that does not answer for longer than silenceMs, or an
  // erase that takes longer than maxWaitMs, ends the wait unconfirmed.
  bool KeepWaiting(bool answered) {
    const uint64_t now = clock_.nowMs();
    if (answered) {
      silentSince_ = 0;
    } else if (silentSince_ == 0) {
      silentSince_ = now;
      Log(L"ドライブが応答しません。サニタイズは電源再投入後も再開されるため、応答を待ちます。");
    }
    if (silentSince_ != 0 && now - silentSince_ > options_.silenceMs) {
      End(SanitizeResult::NotConfirmed,
          L"the drive stopped answering while it erased; a sanitize resumes after a power "
          L"cycle, so read its sanitize status before the drive is used or released");
      return false;
    }
    if (Expired()) {
      End(SanitizeResult::NotConfirmed, L"the drive did not report the end of the erase in time");
      return false;
    }
    clock_.sleepMs(options_.pollMs);
    return true;
  }

  // --- NVMe -----------------------------------------------------------------------------
  // The Sanitize Status log; nothing when the drive did not answer. A drive that answers the
  // request with an error status has no log to follow, which ends the run unconfirmed.
  std::optional<NvmeSanitizeStatus> ReadNvmeLog() {
    std::vector<uint8_t> log(kNvmeSanitizeLogBytes, 0);
    const NvmeAnswer answer = t_.Nvme(NvmeSanitizeStatusLog(), log);
    if (answer.outcome == TransportOutcome::Answered && !answer.Ok()) {
      run_.statusLog = L"Sanitize Status log: " + DescribeNvmeStatus(answer.status);
      noLog_ = true;
    }
    if (!answer.Ok()) return std::nullopt;
    return ParseNvmeSanitizeStatus(log);
  }

  // Follows the Sanitize Status log until the operation ends.
  void WaitNvme() {
    int32_t notStarted = 0;
    for (;;) {
      const std::optional<NvmeSanitizeStatus> status = ReadNvmeLog();
      if (noLog_) {
        return End(SanitizeResult::NotConfirmed, L"the Sanitize Status log does not answer");
      }
      if (status) {
        run_.statusLog = DescribeSanitizeStatus(*status);
        switch (status->state()) {
          case NvmeSanitizeStatus::State::Completed:
          case NvmeSanitizeStatus::State::CompletedNoDeallocate:
            Progress(65536);
            return End(SanitizeResult::Completed);
          case NvmeSanitizeStatus::State::Failed:
            return End(SanitizeResult::Failed, L"the drive reports that the sanitize failed");
          case NvmeSanitizeStatus::State::InProgress:
            Progress(status->sprog);
            break;
          default:
            if (++notStarted > kUnansweredPollsAllowed) {
              return End(SanitizeResult::NotConfirmed,
                         L"the Sanitize Status log does not show the sanitize");
            }
        }
      }
      if (!KeepWaiting(status.has_value())) return;
    }
  }

  void NvmeSanitizeRun(NvmeSanitizeAction action) {
    const auto before = ReadNvmeLog();
    noLog_ = false;  // asked again after the command
    if (before && before->state() == NvmeSanitizeStatus::State::InProgress) {
      Log(L"以前に開始されたサニタイズが実行中です (電源再投入後に再開されたもの)。終了を待ちます。");
      waitingForEarlier_ = true;
      WaitNvme();
      waitingForEarlier_ = false;
      if (run_.result != SanitizeResult::Completed) return;
      start_ = clock_.nowMs();
    }
    const NvmeAdminCommand command = NvmeSanitize(action);
    run_.command = FormatPrintfW("NVMe Sanitize (opcode 84h, CDW10 %08Xh: SANACT %u)",
                                 command.cdw10, static_cast<unsigned>(action));
    const NvmeAnswer answer = t_.Nvme(command, {});
    run_.completion = NvmeCompletion(answer);
    if (answer.outcome == TransportOutcome::Answered && !answer.Ok()) {
      return End(SanitizeResult::Refused, L"the drive refused the sanitize command");
    }
    if (answer.outcome == TransportOutcome::Refused) {
      return End(SanitizeResult::Refused, L"the system did not pass the sanitize command on");
    }
    WaitNvme();
  }

  void NvmeFormatRun(NvmeSecureErase ses) {
    const NvmeControllerFacts& c = *caps_.nvmeController;
    const bool wide = c.FormatAppliesToAll() || c.SecureEraseAppliesToAll();
    const uint32_t nsid =
        wide ? kNvmeAllNamespaces
             : (caps_.namespaceId != 0 ? caps_.namespaceId : caps_.activeNamespaces.at(0));
    const NvmeAdminCommand command = NvmeFormat(nsid, *caps_.nvmeNamespace, ses);
    run_.command =
        FormatPrintfW("NVMe Format NVM (opcode 80h, NSID %08Xh, CDW10 %08Xh: SES=%u, LBAF %u)",
                      nsid, command.cdw10, static_cast<unsigned>(ses),
                      static_cast<unsigned>(caps_.nvmeNamespace->FormatIndex()));
    const NvmeAnswer answer = t_.Nvme(command, {});
    run_.completion = NvmeCompletion(answer);
    if (answer.Ok()) {
      Progress(65536);
      return End(SanitizeResult::Completed);
    }
    if (answer.outcome == TransportOutcome::Failed) {
      return End(SanitizeResult::NotConfirmed, L"the format's completion did not come back");
    }
    const uint16_t sc = answer.status & 0xFF;
    const bool rejected =
        answer.outcome == TransportOutcome::Refused ||
        ((answer.status >> 8 & 0x7) == 0 && (sc == 0x01 || sc == 0x02 || sc == 0x0B));
    End(rejected ? SanitizeResult::Refused : SanitizeResult::Failed,
        rejected ? L"the format command was not taken"
                 : L"the drive reports that the format failed");
  }

  // --- ATA ------------------------------------------------------------------------------
  std::optional<AtaSanitizeProgress> ReadAtaStatus() {
    const AtaCommand status = AtaSanitizeStatus();
    const AtaAnswer answer = t_.Ata(status, {});
    if (answer.outcome != TransportOutcome::Answered || !answer.registers) return std::nullopt;
    run_.statusLog = L"SANITIZE STATUS EXT: " + DescribeAtaRegisters(*answer.registers) +
                     FormatPrintfW(", count %04Xh, progress %u/65536", answer.registers->count,
                                   static_cast<unsigned>(answer.registers->lba & 0xFFFF));
    ataStatusFailed_ = answer.registers->Failed();
    return ParseAtaSanitizeStatus(*answer.registers);
  }

  void WaitAta() {
    int32_t unclear = 0;
    for (;;) {
      const std::optional<AtaSanitizeProgress> status = ReadAtaStatus();
      if (status && ataStatusFailed_) {
        return End(SanitizeResult::Failed, L"the drive reports that the sanitize failed");
      }
      if (status) {
        if (status->completedWithoutError) {
          Progress(65536);
          return End(SanitizeResult::Completed);
        }
        if (status->inProgress) {
          Progress(status->progress);
        } else if (++unclear > kUnansweredPollsAllowed) {
          return End(SanitizeResult::Failed,
                     L"the drive reports the sanitize neither running nor completed without error");
        }
      }
      if (!KeepWaiting(status.has_value())) return;
    }
  }

  void AtaSanitizeRun(const AtaCommand& command) {
    if (const auto before = ReadAtaStatus()) {
      if (before->frozen) {
        return End(
            SanitizeResult::Frozen,
            L"frozen: the drive's sanitize commands are locked until it is powered off and "
            L"on (SANITIZE FREEZE LOCK); suspend and resume the computer or reconnect the drive");
      }
      if (before->inProgress) {
        Log(L"以前に開始されたサニタイズが実行中です (電源再投入後に再開されたもの)。終了を待ちます。");
        waitingForEarlier_ = true;
        WaitAta();
        waitingForEarlier_ = false;
        if (run_.result != SanitizeResult::Completed) return;
        start_ = clock_.nowMs();
      }
    }
    run_.command =
        FormatPrintfW("ATA SANITIZE (command B4h, feature %04Xh, LBA %04X%08Xh, count %04Xh)",
                      command.feature, static_cast<unsigned>(command.lba >> 32),
                      static_cast<unsigned>(command.lba & 0xFFFFFFFF), command.count);
    const AtaAnswer answer = t_.Ata(command, {});
    run_.completion = AtaCompletion(answer);
    if (answer.outcome == TransportOutcome::Failed) return WaitAta();
    if (!answer.Ok(command)) {
      if (answer.registers && (answer.registers->lba & 0xFF) == 0x03) {
        return End(SanitizeResult::Frozen,
                   L"frozen: the drive is in the sanitize frozen state; suspend and resume the "
                   L"computer or reconnect the drive, then run again");
      }
      return End(SanitizeResult::Refused, L"the drive refused the sanitize command");
    }
    WaitAta();
  }

  std::optional<AtaIdentifyFacts> Identify() {
    std::array<uint8_t, kAtaBlockBytes> block{};
    const AtaCommand identify = AtaIdentify();
    if (!t_.Ata(identify, block).Ok(identify)) return std::nullopt;
    return ParseAtaIdentify(block);
  }

  AtaAnswer SendPassword(uint8_t code, bool enhanced, uint32_t timeoutSeconds = 60) {
    auto block = AtaPasswordBlock(options_.password, false, enhanced);
    return t_.Ata(AtaSecurityCommand(code, timeoutSeconds), block);
  }

  // Takes the password off again; a drive that keeps it would lock at its next power-up.
  void RemovePassword() {
    const AtaCommand disable = AtaSecurityCommand(kAtaSecurityDisablePassword);
    if (SendPassword(kAtaSecurityDisablePassword, false).Ok(disable)) {
      Log(L"ATAセキュリティのパスワードを解除しました。");
      return;
    }
    const AtaCommand unlock = AtaSecurityCommand(kAtaSecurityUnlock);
    if (SendPassword(kAtaSecurityUnlock, false).Ok(unlock) &&
        SendPassword(kAtaSecurityDisablePassword, false).Ok(disable)) {
      Log(L"ATAセキュリティのパスワードを解除しました (ロック解除後)。");
      return;
    }
    Log(L"[ERROR] ATAセキュリティのパスワードを解除できませんでした。次回の電源投入でドライブがロックされます。"
        L"ユーザーパスワード \"" +
        Utf8ToWide(options_.password) + L"\" で解除してください。");
  }

  void AtaSecurityRun(bool enhanced) {
    const std::optional<AtaIdentifyFacts> id = Identify();
    if (!id)
      return End(SanitizeResult::Refused, L"IDENTIFY DEVICE did not answer before the erase");
    const AtaSecurityState& s = id->security;
    if (s.frozen) {
      return End(SanitizeResult::Frozen,
                 L"frozen: the computer's firmware froze the drive's security at start-up; suspend "
                 L"and resume the computer, or unplug and reconnect the drive, then run again");
    }
    if (s.locked || s.enabled || s.countExpired) {
      return End(SanitizeResult::Refused, s.countExpired
                                              ? L"the password attempt counter is exhausted"
                                          : s.locked ? L"the drive is locked by a password"
                                                     : L"a security password is already set");
    }
    const std::wstring password = Utf8ToWide(options_.password);
    Log(L"ATAセキュリティ消去のためユーザーパスワード \"" + password +
        L"\" を設定します (ドライブがロックされたままの場合はこのパスワードで解除できます)。");
    const AtaCommand set = AtaSecurityCommand(kAtaSecuritySetPassword);
    const AtaAnswer setAnswer = SendPassword(kAtaSecuritySetPassword, false);
    if (!setAnswer.Ok(set)) {
      run_.command = L"ATA SECURITY SET PASSWORD (command F1h, user)";
      run_.completion = AtaCompletion(setAnswer);
      return End(SanitizeResult::Refused, L"the drive refused the password");
    }
    const AtaCommand prepare = AtaSecurityCommand(kAtaSecurityErasePrepare);
    const AtaAnswer prepared = t_.Ata(prepare, {});
    if (!prepared.Ok(prepare)) {
      run_.command = L"ATA SECURITY ERASE PREPARE (command F3h)";
      run_.completion = AtaCompletion(prepared);
      RemovePassword();
      return End(SanitizeResult::Refused, L"the drive refused SECURITY ERASE PREPARE");
    }
    const uint32_t minutes =
        std::max(kMinimumEraseUnitMinutes,
                 2 * (enhanced ? s.enhancedEraseMinutes : s.normalEraseMinutes) + 30);
    run_.command = FormatPrintfW("ATA SECURITY ERASE UNIT (command F4h, %s, user password)",
                                 enhanced ? "enhanced" : "normal");
    const AtaCommand erase = AtaSecurityCommand(kAtaSecurityEraseUnit, minutes * 60);
    const AtaAnswer erased = SendPassword(kAtaSecurityEraseUnit, enhanced, minutes * 60);
    run_.completion = AtaCompletion(erased);
    if (erased.outcome == TransportOutcome::Failed) {
      return End(SanitizeResult::NotConfirmed,
                 L"the erase's completion did not come back; the drive may stay locked with "
                 L"the user password \"" +
                     password + L"\"");
    }
    if (!erased.Ok(erase)) {
      RemovePassword();
      return End(SanitizeResult::Failed, L"the drive reports that SECURITY ERASE UNIT failed");
    }
    // A completed erase unit clears the password; one that is still set is taken off.
    if (const auto after = Identify(); !after || after->security.enabled) RemovePassword();
    Progress(65536);
    End(SanitizeResult::Completed);
  }

  // --- SCSI -----------------------------------------------------------------------------
  void WaitScsi() {
    for (;;) {
      std::vector<uint8_t> sense(ScsiRequestSense().dataInLength, 0);
      const ScsiAnswer answer = t_.Scsi(ScsiRequestSense(), sense);
      const bool answered = answer.Ok();
      if (answered) {
        const SenseData data = ParseSense(sense);
        run_.statusLog = L"REQUEST SENSE: " + DescribeSense(data);
        if (IsSanitizeFailed(data)) {
          return End(SanitizeResult::Failed, L"the drive reports that the sanitize failed");
        }
        if (IsSanitizeInProgress(data)) {
          Progress(data.progress.value_or(0));
        } else if (!data.valid || data.key == kSenseNoSense) {
          Progress(65536);
          return End(SanitizeResult::Completed);
        }
      }
      if (!KeepWaiting(answered)) return;
    }
  }

  void ScsiSanitizeRun(ScsiSanitizeAction action) {
    const ScsiCommand command = ScsiSanitize(action);
    run_.command = FormatPrintfW("SCSI SANITIZE (opcode 48h, service action %02Xh, IMMED)",
                                 static_cast<unsigned>(action));
    std::vector<uint8_t> none;
    const ScsiAnswer answer = t_.Scsi(command, none);
    run_.completion = ScsiCompletion(answer);
    if (answer.outcome == TransportOutcome::Refused) {
      return End(SanitizeResult::Refused, L"the system did not pass the sanitize command on");
    }
    if (answer.outcome == TransportOutcome::Answered && !answer.Ok() &&
        !IsSanitizeInProgress(ParseSense(answer.sense))) {
      return End(SanitizeResult::Refused, L"the drive refused the sanitize command");
    }
    WaitScsi();
  }

  void ScsiFormatRun() {
    const ScsiCommand command = ScsiFormatUnit();
    run_.command = L"SCSI FORMAT UNIT (opcode 04h, no parameter list)";
    std::vector<uint8_t> none;
    const ScsiAnswer answer = t_.Scsi(command, none);
    run_.completion = ScsiCompletion(answer);
    if (answer.Ok()) {
      Progress(65536);
      return End(SanitizeResult::Completed);
    }
    End(answer.outcome == TransportOutcome::Failed ? SanitizeResult::NotConfirmed
                                                   : SanitizeResult::Refused,
        L"FORMAT UNIT did not complete");
  }

  // --- Windows --------------------------------------------------------------------------
  void ReinitializeRun(M method) {
    const ReinitializeMethod option =
        method == M::WindowsReinitializeCrypto  ? ReinitializeMethod::CryptoErase
        : method == M::WindowsReinitializeBlock ? ReinitializeMethod::BlockErase
                                                : ReinitializeMethod::Default;
    run_.command = FormatPrintfW("IOCTL_STORAGE_REINITIALIZE_MEDIA (sanitize method %d)",
                                 static_cast<int>(option));
    uint32_t error = 0;
    const TransportOutcome outcome = t_.ReinitializeMedia(option, error);
    run_.completion = outcome == TransportOutcome::Answered
                          ? L"completed by the storage driver"
                          : DescribeTransportFailure(outcome, error);
    if (outcome == TransportOutcome::Answered) {
      Progress(65536);
      return End(SanitizeResult::Completed);
    }
    End(outcome == TransportOutcome::Refused ? SanitizeResult::Refused : SanitizeResult::Failed,
        L"the storage driver did not reinitialize the media");
  }

  FirmwareTransport& t_;
  const FirmwareCapabilities& caps_;
  const SanitizeRunOptions& options_;
  const SanitizeClock& clock_;
  uint64_t start_;
  uint64_t silentSince_ = 0;
  bool noLog_ = false;
  bool waitingForEarlier_ = false;  // an earlier sanitize's progress is not this run's
  bool ataStatusFailed_ = false;
  SanitizeRun run_;
};

}  // namespace

SanitizeClock SystemSanitizeClock() {
  return {TickCountMs, SleepMs};
}

SanitizeRun RunFirmwareSanitize(FirmwareTransport& transport, const FirmwareCapabilities& caps,
                                FirmwareMethod method, const SanitizeRunOptions& options,
                                const SanitizeClock& clock) {
  return Runner(transport, caps, options, clock).Run(method);
}

}  // namespace tvde
