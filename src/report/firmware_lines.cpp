// The firmware lines of the reports.
#include "report/firmware_lines.h"

#include "report/report_labels.h"

namespace tvde {
namespace {

struct TextLine {
  const wchar_t* txtLabel;
  const char* jsonKey;
  const wchar_t* htmlHeader;
  std::wstring FirmwareReport::*member;
};

// In report order; the elapsed time follows the drive's status.
constexpr TextLine kBefore[] = {
    {L"  Firmware Sanitize  : ", "firmwareSanitize", L"Firmware sanitize (ファームウェア消去)",
     &FirmwareReport::sanitize},
    {L"  Firmware Command   : ", "firmwareCommand", L"Firmware command (発行コマンド)",
     &FirmwareReport::command},
    {L"  Drive Completion   : ", "driveCompletion", L"Drive completion (ドライブ応答)",
     &FirmwareReport::completion},
    {L"  Sanitize Status    : ", "sanitizeStatus", L"Sanitize status (サニタイズ状態ログ)",
     &FirmwareReport::statusLog},
};
constexpr TextLine kAfter[] = {
    {L"  Firmware Check     : ", "firmwareCheck", L"Firmware check (読み戻し確認)",
     &FirmwareReport::check},
    {L"  Hidden Area        : ", "hiddenArea", L"Hidden area (HPA/AMA/DCO 隠し領域)",
     &FirmwareReport::hiddenArea},
    {L"  NIST 800-88 Result : ", "nistCategory", L"NIST SP 800-88 category (到達レベル)",
     &FirmwareReport::nistCategory},
};

void AddSet(std::vector<FirmwareLine>& lines, const FirmwareReport& report, const TextLine& line) {
  const std::wstring& value = report.*line.member;
  if (!value.empty()) lines.push_back({line.txtLabel, line.jsonKey, line.htmlHeader, value});
}

}  // namespace

std::vector<FirmwareLine> FirmwareLines(const FirmwareReport& report) {
  std::vector<FirmwareLine> lines;
  for (const TextLine& line : kBefore)
    AddSet(lines, report, line);
  // The elapsed time belongs to a command that was sent.
  if (!report.command.empty()) {
    lines.push_back({L"  Firmware Elapsed   : ", kFirmwareElapsedKey,
                     L"Firmware elapsed (ファームウェア所要時間)",
                     ElapsedText(report.elapsedSeconds), true, report.elapsedSeconds});
  }
  for (const TextLine& line : kAfter)
    AddSet(lines, report, line);
  return lines;
}

bool SetFirmwareText(FirmwareReport& report, const std::string& jsonKey,
                     const std::wstring& value) {
  const auto set = [&](const auto& table) {
    for (const TextLine& line : table) {
      if (jsonKey != line.jsonKey) continue;
      report.*line.member = value;
      return true;
    }
    return false;
  };
  return set(kBefore) || set(kAfter);
}

}  // namespace tvde
