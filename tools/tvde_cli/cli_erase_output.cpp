// Console lines, progress lines, the summary and the exit code of the erase command.
#include "cli_erase_output.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "cli.h"
#include "cli_command.h"
#include "job/erase_job_driver.h"
#include "job/report_output.h"
#include "report/report_labels.h"

namespace tvde::cli {
namespace {

void Row(std::string& text, const char* name, const std::wstring& value) {
  text += name;
  text += " : ";
  text += TerminalSafe(value);
  text += '\n';
}

bool ReportsWritten(const ReportData& result) {
  return !result.htmlPath.empty() && !result.txtPath.empty() && !result.jsonPath.empty();
}

bool StampMissing(const ReportData& result, const EraseRequest& request) {
  return result.config.executionMode == ExecutionMode::RealWrite && request.stampWanted &&
         result.diskStampStatus != kStampActive;
}

// "pass 1/3", "verify" (the last pass's read-back), "verify pass 1/3" (one pass's read-back in
// every-pass mode), "firmware".
std::string StepName(const EraseProgressInfo& progress) {
  std::string pass = FormatPrintf("pass %d/%d", progress.currentPass, progress.totalPasses);
  if (progress.phase == kPhaseFirmware) return "firmware";
  if (progress.phase != kPhaseVerify) return pass;
  return progress.currentPass > 0 ? "verify " + pass : "verify";
}

std::string PhaseName(int32_t phase) {
  if (phase == kPhaseVerify) return "verify";
  return phase == kPhaseFirmware ? "firmware" : "overwrite";
}

}  // namespace

int64_t SecondsLeft(const EraseProgressInfo& progress, const EraseJobConfig& config) {
  const double bytesPerSecond = progress.speedMBps * 1048576.0;
  if (progress.phase == kPhaseFirmware || bytesPerSecond <= 0.0 || progress.bytesTotal == 0)
    return -1;
  const uint64_t size = config.disk.sizeBytes;
  const auto later =
      static_cast<uint64_t>(std::max(progress.totalPasses - progress.currentPass, 0));
  uint64_t bytes = progress.bytesTotal - std::min(progress.bytesDone, progress.bytesTotal);
  const bool everyPass = config.verifyMode == VerifyMode::EveryPass;
  if (progress.phase == kPhaseOverwrite) {
    bytes += later * size;                       // the passes still to write
    if (everyPass) bytes += (later + 1) * size;  // and each one's read-back
    if (config.verifyMode == VerifyMode::Full) bytes += size;
  } else if (progress.currentPass > 0) {
    bytes += later * 2 * size;  // every-pass mode: each later pass written and read back
  }
  return std::llround(static_cast<double>(bytes) / bytesPerSecond);
}

std::string FormatLiveProgress(const EraseProgressInfo& progress, int64_t secondsLeft) {
  std::string left = "--:--:--";
  if (secondsLeft >= 0) {
    left = std::to_string(secondsLeft / 3600) +
           FormatPrintf(":%02d:%02d", static_cast<int>(secondsLeft / 60 % 60),
                        static_cast<int>(secondsLeft % 60));
  }
  return "[PROGRESS] " + StepName(progress) +
         FormatPrintf(" | %d%% | overall %d%% | %.1f MB/s | ", progress.passPercent,
                      progress.overallPercent, progress.speedMBps) +
         left + " left";
}

std::string FormatProgressJson(const EraseProgressInfo& progress, int64_t secondsLeft) {
  return "{\"phase\": \"" + PhaseName(progress.phase) + "\"" +
         FormatPrintf(", \"pass\": %d, \"passes\": %d, \"percent\": %d, \"passPercent\": %d",
                      progress.currentPass, progress.totalPasses, progress.overallPercent,
                      progress.passPercent) +
         ", \"bytesDone\": " + std::to_string(progress.bytesDone) +
         ", \"bytesTotal\": " + std::to_string(progress.bytesTotal) +
         FormatPrintf(", \"speedMBps\": %.1f", progress.speedMBps) + ", \"secondsLeft\": " +
         (secondsLeft < 0 ? std::string("null") : std::to_string(secondsLeft)) + "}";
}

std::string ConsoleLine(const std::wstring& timestamp, const std::wstring& line) {
  // Built by appending: GCC 12 warns falsely on a literal + a temporary string.
  std::string text(1, '[');
  text += WideToUtf8(timestamp);
  text += "] ";
  text += TerminalSafe(line);
  return text;
}

std::wstring FormatProgress(const EraseProgressInfo& progress) {
  const std::wstring where = Utf8ToWide(StepName(progress));
  // The status line of the main window; the number formats take the ASCII-only helper.
  return L"[PROGRESS] " + where + L" | " + progress.statusText + L"  |  現在パス: " +
         FormatPrintfW("%d%%", progress.passPercent) + L"  |  全体進捗: " +
         FormatPrintfW("%d%%", progress.overallPercent) + L"  |  処理速度: " +
         FormatPrintfW("%.1f MB/s", progress.speedMBps);
}

bool ProgressThrottle::ShouldPrint(const EraseProgressInfo& progress, uint64_t nowMs) {
  const bool newStep = !printedAny_ || progress.phase != phase_ || progress.currentPass != pass_;
  const bool moved = progress.passPercent != percent_;
  const bool finished = moved && progress.passPercent >= 100;
  const bool due = moved && nowMs - lastMs_ >= intervalMs_;
  if (!(newStep || finished || due)) return false;
  printedAny_ = true;
  phase_ = progress.phase;
  pass_ = progress.currentPass;
  percent_ = progress.passPercent;
  lastMs_ = nowMs;
  return true;
}

bool EndedBeforeStart(const ReportData& result) {
  return result.verificationResult == kVerdictBlocked ||
         result.verificationResult == kVerdictOpenFailed ||
         result.verificationResult == kVerdictReportFolderUnwritable;
}

int EraseExitCode(const ReportData& result, const EraseRequest& request) {
  // The certificate folder was refused before anything was written: the input was bad.
  if (result.verificationResult == kVerdictReportFolderUnwritable) return kExitBadInput;
  if (result.statusCode == kStatusCancelled) return kExitCancelled;
  if (result.statusCode != kStatusCompleted) return kExitFailed;
  if (request.reportsWanted && !ReportsWritten(result)) return kExitIncomplete;
  if (request.reportsWanted && !result.signatureError.empty()) return kExitIncomplete;
  if (StampMissing(result, request)) return kExitIncomplete;
  return kExitOk;
}

std::string FormatSummary(const ReportData& result, const EraseRequest& request) {
  std::string text = "== Erase job summary\n";
  Row(text, "Certificate ID  ", result.certificateId);
  Row(text, "Target          ", result.config.disk.devicePath);
  Row(text, "Mode            ", ExecutionModeTxtLabel(result.config.executionMode));
  Row(text, "Standard        ", StandardLabel(result.config.standard));
  Row(text, "Status          ",
      StatusBadge(result).first + FormatPrintfW(" [status %d]", result.statusCode));
  Row(text, "Verification    ", result.verificationResult);
  if (!result.verificationScope.empty()) Row(text, "Verified        ", result.verificationScope);
  Row(text, "Disk stamp      ", result.diskStampStatus);
  Row(text, "Passes          ",
      FormatPrintfW("%d of %d", result.passesCompleted, result.passesPlanned));
  Row(text, "Bytes written   ", Utf8ToWide(std::to_string(result.bytesWritten)));
  Row(text, "Elapsed         ", FormatPrintfW("%.2f s", result.elapsedSeconds));
  if (!result.firmware.sanitize.empty()) Row(text, "Firmware        ", result.firmware.sanitize);
  if (!result.firmware.hiddenArea.empty())
    Row(text, "Hidden area     ", result.firmware.hiddenArea);
  if (!result.firmware.nistCategory.empty()) {
    Row(text, "NIST 800-88     ", result.firmware.nistCategory);
  }
  if (!result.errorMessage.empty()) Row(text, "Error           ", result.errorMessage);
  Row(text, "SHA-256         ",
      result.sha256Fingerprint.empty() ? std::wstring(L"(none)") : result.sha256Fingerprint);
  if (EndedBeforeStart(result)) {
    Row(text, "Reports         ", L"none (the job stopped before it began)");
  } else if (!request.reportsWanted) {
    Row(text, "Reports         ", L"disabled (--no-reports)");
  } else if (ReportsWritten(result)) {
    Row(text, "HTML certificate", result.htmlPath);
    Row(text, "TXT audit log   ", result.txtPath);
    Row(text, "JSON report     ", result.jsonPath);
    if (!result.signaturePath.empty()) Row(text, "Signature       ", result.signaturePath);
    if (!result.signatureError.empty()) {
      Row(text, "Signature       ", L"MISSING (" + result.signatureError + L")");
    }
  } else {
    // Exactly the files that exist, and which could not be written.
    const std::wstring notWritten =
        L"NOT WRITTEN (could not write to " + ReportOutputFolder(result.config) + L")";
    const auto file = [&](const char* name, const std::wstring& path) {
      Row(text, name, path.empty() ? notWritten : path);
    };
    file("HTML certificate", result.htmlPath);
    file("TXT audit log   ", result.txtPath);
    file("JSON report     ", result.jsonPath);
  }
  if (StampMissing(result, request) && result.statusCode == kStatusCompleted) {
    text += "Note: the bootable report stamp was asked for but is not on the disk.\n";
  }
  return text;
}

}  // namespace tvde::cli
