// Shared report labels.
#include "report/report_labels.h"

#include "base/product.h"
#include "base/text.h"
#include "erase/firmware_step.h"
#include "erase/verification.h"

namespace tvde {
namespace {

constexpr const wchar_t* kGreen = L"#10b981";
constexpr const wchar_t* kAmber = L"#f59e0b";  // warnings: cut short, or less than it says
constexpr const wchar_t* kNeutral = L"#94a3b8";

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
  if (statusCode == kStatusCancelled) return {L"CANCELLED (中断)", kAmber};
  if (statusCode == kStatusCompleted) return {L"COMPLETED & VERIFIED (完全消去済)", kGreen};
  return {L"FAILED (エラー終了)", L"#ef4444"};
}

std::pair<std::wstring, std::wstring> StatusBadge(const ReportData& report) {
  const bool completed = report.statusCode == kStatusCompleted;
  // A simulation erased nothing, whatever its checks found.
  if (completed && !IsRealWrite(report.config.executionMode)) {
    return {L"SIMULATION — NO DATA ERASED (シミュレーション・未消去)", kNeutral};
  }
  const bool unverified = IsSkippedVerdict(report.verificationResult);
  if (completed && LeavesSectorsUnerased(report.firmware)) {
    // Both shortfalls are named when both apply.
    if (unverified) {
      return {L"COMPLETED, UNVERIFIED, HIDDEN SECTORS NOT ERASED (隠し領域未消去・検証なし)",
              kAmber};
    }
    return {L"COMPLETED, HIDDEN SECTORS NOT ERASED (隠し領域未消去)", kAmber};
  }
  if (completed && unverified) {
    return {L"COMPLETED, UNVERIFIED (完全消去済・検証なし)", kAmber};
  }
  return StatusBadge(report.statusCode);
}

bool RecordsVerifiedErasure(const ReportData& report) {
  return report.statusCode == kStatusCompleted && IsRealWrite(report.config.executionMode) &&
         report.verificationResult.starts_with(L"PASSED") &&
         !LeavesSectorsUnerased(report.firmware);
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
