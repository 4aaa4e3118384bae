// The firmware sanitize of a real job: the choice, the check sectors written before the
// command and read back after it, and the words the reports print.
#include "erase/firmware_step.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "base/page_buffer.h"
#include "base/text.h"

namespace tvde {
namespace {

constexpr uint64_t kCheckSectors = 8;
constexpr const wchar_t* kOverwriteOnly = L" — overwrite passes only";

// The sectors written before the firmware command, each filled with a text naming the job and
// the sector, so that what is read back after the command cannot be old data by accident.
class CheckSectors {
 public:
  CheckSectors(Device& disk, uint64_t sizeBytes, uint32_t sectorSize, const std::wstring& job)
      : disk_(disk), sector_(sectorSize), buffer_(PageBuffer::Allocate(sectorSize)) {
    const uint64_t sectors = sizeBytes / sectorSize;
    const uint64_t count = std::min(kCheckSectors, sectors);
    for (uint64_t i = 0; i < count; ++i)
      lbas_.push_back(count == 1 ? 0 : i * (sectors - 1) / (count - 1));
    job_ = WideToUtf8(job);
  }

  // Writes them and flushes; false with the reason when that fails.
  bool Write(std::wstring& error) {
    if (!buffer_.valid() || lbas_.empty()) {
      error = L"no buffer or no sector to write";
      return false;
    }
    for (size_t i = 0; i < lbas_.size(); ++i) {
      Fill(lbas_[i]);
      const IoResult written =
          disk_.Seek(lbas_[i] * sector_) ? disk_.Write(buffer_.span()) : IoResult{};
      if (!written.ok || written.bytes != sector_) {
        error = FormatPrintfW("the write of check sector %u failed (error %u)",
                              static_cast<unsigned>(i + 1), written.error);
        return false;
      }
    }
    if (!disk_.Flush()) {
      error = L"the flush after the check sectors failed";
      return false;
    }
    return true;
  }

  // How many still hold what was written; sectors that cannot be read count as kept.
  uint64_t Kept() {
    uint64_t kept = 0;
    std::vector<uint8_t> expected(sector_);
    for (uint64_t lba : lbas_) {
      Fill(lba);
      std::copy(buffer_.data(), buffer_.data() + sector_, expected.begin());
      const IoResult read = disk_.Seek(lba * sector_) ? disk_.Read(buffer_.span()) : IoResult{};
      if (!read.ok || read.bytes != sector_ ||
          std::equal(expected.begin(), expected.end(), buffer_.data())) {
        ++kept;
      }
    }
    return kept;
  }

  uint64_t count() const { return lbas_.size(); }

 private:
  void Fill(uint64_t lba) {
    const std::string text = "TVDE-FIRMWARE-CHECK " + job_ + " LBA " + std::to_string(lba) + "\n";
    for (size_t i = 0; i < sector_; ++i)
      buffer_.data()[i] = static_cast<uint8_t>(text[i % text.size()]);
  }

  Device& disk_;
  uint32_t sector_;
  PageBuffer buffer_;
  std::vector<uint64_t> lbas_;
  std::string job_;
};

// The ATA user password of a security erase: the random tail of the certificate ID.
std::string ErasePassword(const std::wstring& certificateId) {
  const size_t dash = certificateId.rfind(L'-');
  return "TVDE-" +
         WideToUtf8(dash == std::wstring::npos ? certificateId : certificateId.substr(dash + 1));
}

bool IsFlash(MediaKind media) {
  return media == MediaKind::Ssd || media == MediaKind::NvmeSsd || media == MediaKind::Removable;
}

}  // namespace

HiddenAreaOutcome PrepareHiddenArea(Device& disk, FirmwareTransport& transport,
                                    FirmwareCapabilities& caps, uint64_t sizeBytes,
                                    uint32_t sectorSize, FirmwareReport& report,
                                    const LogCallback& log) {
  HiddenAreaOutcome outcome;
  outcome.sizeBytes = sizeBytes;
  if (!caps.ata) return outcome;
  HiddenAreaFacts& h = caps.hidden;
  std::wstring text = HiddenAreaSummary(caps);
  const uint64_t hidden = h.HiddenSectors();
  if (h.checked && hidden != 0) {
    const std::wstring count = std::to_wstring(hidden);
    const auto refuse = [&](const std::wstring& why) {
      outcome.refuse = true;
      outcome.message = L"隠し領域 (HPA/AMA) の " + count +
                        L" セクタを消去範囲に含められないため、実機消去をブロックしました: " + why;
      return outcome;
    };
    if (h.accessibleMax) {
      return refuse(
          L"an Accessible Max Address limit is kept over power cycles, and this job "
          L"does not change it; remove the limit and run again");
    }
    const bool ext = caps.ata->lba48;
    const AtaCommand read = AtaReadNativeMaxAddress(ext);
    const AtaCommand set = AtaSetMaxAddressVolatile(h.nativeSectors - 1, ext);
    if (!transport.Ata(read, {}).Ok(read) || !transport.Ata(set, {}).Ok(set)) {
      return refuse(L"the drive did not take SET MAX ADDRESS");
    }
    std::array<uint8_t, kAtaBlockBytes> block{};
    const AtaCommand identify = AtaIdentify();
    const auto after =
        transport.Ata(identify, block).Ok(identify) ? ParseAtaIdentify(block) : std::nullopt;
    uint64_t length = 0;
    const uint64_t native = h.nativeSectors * sectorSize;
    if (!after || after->userSectors != h.nativeSectors || !transport.RefreshCapacity() ||
        !disk.QueryLength(length) || length < native) {
      return refuse(
          L"the system does not see the restored size; power the disk off and on and "
          L"run again");
    }
    outcome.sizeBytes = native;
    text = L"HPA: " + count + L" sectors were hidden (reported " +
           std::to_wstring(h.reportedSectors) + L", native " + std::to_wstring(h.nativeSectors) +
           L"); the native max address was restored for this job (volatile: a power cycle "
           L"brings the HPA back) and the whole native range is erased";
    if (h.DcoHiddenSectors() != 0) {
      text += L"; DCO restriction: " + std::to_wstring(h.DcoHiddenSectors()) + L" sectors";
    }
  }
  if (h.DcoHiddenSectors() != 0) {
    text += kDcoNotErasedNote;
  }
  report.hiddenArea = text;
  EmitLog(log, L"[HIDDEN AREA] " + text);
  return outcome;
}

bool LeavesSectorsUnerased(const FirmwareReport& report) {
  return report.hiddenArea.find(kDcoNotErasedNote) != std::wstring::npos;
}

FirmwareStepOutcome RunFirmwareStep(Device& disk, FirmwareTransport& transport,
                                    const FirmwareCapabilities& caps, const EraseJobConfig& config,
                                    uint64_t sizeBytes, const std::wstring& certificateId,
                                    const ProgressCallback& progress, const LogCallback& log,
                                    const SanitizeClock& clock, FirmwareReport& report) {
  FirmwareStepOutcome outcome;
  const SanitizeChoice choice =
      ChooseSanitizeMethod(caps, config.firmwareMode, config.disk.mediaType == MediaKind::Hdd);
  if (choice.method == FirmwareMethod::None) {
    report.sanitize = (choice.frozen ? L"FROZEN: " : L"") +
                      std::wstring(L"firmware sanitize not available (") + choice.reason + L")" +
                      kOverwriteOnly;
    EmitLog(log, L"[FIRMWARE] " + report.sanitize);
    return outcome;
  }
  const std::wstring name = FirmwareMethodName(choice.method);
  EmitLog(log, L"[FIRMWARE] ドライブが報告した機能から選択: " + name);
  EmitLog(
      log,
      L"[FIRMWARE] ファームウェア消去は開始後に中断できず、電源が切れても再投入後に再開されます。"
      L"ドライブが完了を報告するまで証明書は発行されません。");

  const uint32_t sector = EffectiveSectorSize(config.disk.bytesPerSector);
  CheckSectors check(disk, sizeBytes, sector, certificateId);
  std::wstring checkError;
  const bool checkWritten = check.Write(checkError);

  SanitizeRunOptions options;
  options.password = ErasePassword(certificateId);
  options.log = log;
  options.progress = [&progress, &name](uint32_t value) {
    if (!progress) return;
    EraseProgressInfo info;
    info.phase = kPhaseFirmware;
    info.passPercent = static_cast<int32_t>(uint64_t{value} * 100 / 65536);
    info.statusText = L"ファームウェア消去中: " + name;
    progress(info);
  };
  const SanitizeRun run = RunFirmwareSanitize(transport, caps, choice.method, options, clock);
  report.command = run.command;
  report.completion = run.completion;
  report.statusLog = run.statusLog;
  // Whole hundredths, as the reports print them and read them back.
  report.elapsedSeconds = std::floor(static_cast<double>(run.elapsedMs) / 10.0) / 100.0;
  switch (run.result) {
    case SanitizeResult::Completed: {
      const uint64_t kept = checkWritten ? check.Kept() : check.count();
      if (!checkWritten) {
        report.check = L"not made (" + checkError + L"): the drive's claim cannot be read back";
      } else if (kept == 0) {
        report.check = FormatPrintfW(
            "%u of %u check sectors written before the command no "
            "longer hold that data",
            static_cast<unsigned>(check.count()), static_cast<unsigned>(check.count()));
      } else {
        report.check = FormatPrintfW(
            "%u of %u check sectors still hold the data written before "
            "the command: the drive's success is not counted",
            static_cast<unsigned>(kept), static_cast<unsigned>(check.count()));
      }
      const bool confirmed = checkWritten && kept == 0;
      outcome.purge = confirmed && MethodIsPurge(choice.method);
      outcome.method = name;
      if (outcome.purge) {
        report.sanitize = name +
                          L": COMPLETED (the drive reported completion and the check "
                          L"sectors read back erased)";
      } else if (confirmed) {
        report.sanitize = name +
                          L": COMPLETED, NOT COUNTED AS A SANITIZE (not a sanitize "
                          L"command)" +
                          kOverwriteOnly;
      } else {
        report.sanitize = name +
                          L": REPORTED COMPLETE, NOT COUNTED (the check sectors were not "
                          L"confirmed erased)" +
                          kOverwriteOnly;
      }
      EmitLog(log, L"[FIRMWARE] " + report.check);
      break;
    }
    case SanitizeResult::Frozen:
      report.sanitize =
          L"FROZEN: " + name + L" not attempted (" + run.detail + L")" + kOverwriteOnly;
      break;
    case SanitizeResult::Refused:
      report.sanitize = L"firmware sanitize not available (" + name + L": " + run.detail + L"; " +
                        run.completion + L")" + kOverwriteOnly;
      break;
    case SanitizeResult::Failed:
      report.sanitize = name + L": FAILED (" + run.detail + L")";
      outcome.stop = true;
      outcome.stopVerdict = kVerdictFirmwareFailed;
      break;
    case SanitizeResult::NotConfirmed:
      report.sanitize = name + L": NOT CONFIRMED (" + run.detail + L")";
      outcome.stop = true;
      outcome.stopVerdict = kVerdictFirmwareUnconfirmed;
      break;
  }
  EmitLog(log, L"[FIRMWARE] " + report.sanitize);
  return outcome;
}

std::wstring NistCategoryText(bool firmwarePurge, const std::wstring& method, bool overwritten,
                              MediaKind media) {
  if (firmwarePurge) return L"Purge (firmware: " + method + L")";
  if (!overwritten) return L"Not reached (the erasure did not complete)";
  return IsFlash(media) ? L"Clear (overwrite only; flash media keep spare blocks)"
                        : L"Clear (overwrite only)";
}

PassThroughKind BusPassThrough(BusKind bus) {
  switch (bus) {
    case BusKind::Nvme:
      return PassThroughKind::Nvme;
    case BusKind::Sata:
      return PassThroughKind::Ata;
    case BusKind::ScsiSas:
    case BusKind::Usb:
      return PassThroughKind::Scsi;
    default:
      return PassThroughKind::None;
  }
}

}  // namespace tvde
