// Shared report labels.
#include "report/report_labels.h"

#include "base/product.h"
#include "base/text.h"
#include "erase/verification.h"

namespace tvde {
namespace {

bool IsRealWrite(ExecutionMode mode) {
  return static_cast<int32_t>(mode) != 0;
}

}  // namespace

std::wstring ProductSuiteText() {
  return std::wstring(kProductName) + L" Suite v" + kProductVersion;
}

std::wstring ProductVersionText() {
  return std::wstring(kProductName) + L" v" + kProductVersion;
}

std::pair<std::wstring, std::wstring> StatusBadge(int32_t statusCode) {
  if (statusCode == kStatusCancelled) return {L"CANCELLED (中断)", L"#f59e0b"};
  if (statusCode == kStatusCompleted) return {L"COMPLETED & VERIFIED (完全消去済)", L"#10b981"};
  return {L"FAILED (エラー終了)", L"#ef4444"};
}

std::pair<std::wstring, std::wstring> StatusBadge(const ReportData& report) {
  if (report.statusCode == kStatusCompleted && IsSkippedVerdict(report.verificationResult)) {
    return {L"COMPLETED, UNVERIFIED (完全消去済・検証なし)", L"#10b981"};
  }
  return StatusBadge(report.statusCode);
}

std::wstring ExecutionModeHtmlLabel(ExecutionMode mode) {
  return IsRealWrite(mode) ? L"Hardware Physical Sector Sanitization (実機物理セクタ完全消去)"
                           : L"Simulation / Dry-Run Verification Mode (安全テストモード)";
}

std::wstring ExecutionModeTxtLabel(ExecutionMode mode) {
  return IsRealWrite(mode) ? L"Physical Hardware Erase" : L"Simulation (Dry-Run)";
}

std::wstring ExecutionModeJsonLabel(ExecutionMode mode) {
  return IsRealWrite(mode) ? L"RealHardwareWrite" : L"SimulationDryRun";
}

std::wstring EnvironmentLabel(int32_t isWinPE, const std::wstring& hostSystem) {
  if (isWinPE == 1) return L"Windows Preinstallation Environment (WinPE Standalone)";
  return hostSystem.empty() ? L"Microsoft Windows Workstation OS" : hostSystem;
}

std::wstring ElapsedText(double elapsedSeconds) {
  return FormatPrintfW("%.2f", elapsedSeconds) + L" 秒";
}

std::wstring ReportStandardName(const ReportData& report) {
  return StandardLabel(report.config.standard);
}

}  // namespace tvde
