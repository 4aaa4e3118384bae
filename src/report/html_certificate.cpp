// HTML certificate: fixed page lines with the record's values inserted as escaped text.
#include "report/html_certificate.h"

#include <sstream>

#include "report/firmware_lines.h"
#include "report/report_labels.h"

namespace tvde {

std::wstring EscapeHtml(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (wchar_t ch : text) {
    switch (ch) {
      case L'&':
        out += L"&amp;";
        break;
      case L'<':
        out += L"&lt;";
        break;
      case L'>':
        out += L"&gt;";
        break;
      case L'"':
        out += L"&quot;";
        break;
      case L'\'':
        out += L"&#39;";
        break;
      default:
        out.push_back(ch);
    }
  }
  return out;
}

std::wstring BuildHtmlCertificate(const ReportData& r) {
  // Record values (operator text, notes, device names) are escaped; the page's own texts,
  // the badge text among them, are written as they are.
  const auto v = [](const std::wstring& value) { return EscapeHtml(value); };
  const auto [badgeText, badgeColour] = StatusBadge(r);
  const bool simulation = r.config.executionMode == ExecutionMode::Simulation;
  const HardwareProfile& hw = r.stamp.hardware;
  const std::wstring notes = r.config.notes.empty() ? L"-" : v(r.config.notes);

  std::wostringstream o;
  o << L"<!DOCTYPE html>\n";
  o << L"<html lang=\"ja\">\n";
  o << L"<head>\n";
  o << L"<meta charset=\"UTF-8\">\n";
  o << L"<title>Certificate of Data Erasure - " << v(r.certificateId) << L"</title>\n";
  o << L"<style>\n";
  o << L"body { font-family: 'Segoe UI', 'Yu Gothic UI', Meiryo, sans-serif; background: "
       L"#f1f5f9; color: #0f172a; margin: 0; padding: 32px; }\n";
  o << L".cert-container { max-width: 960px; margin: 0 auto; background: #ffffff; border: 2px "
       L"solid #0f172a; border-radius: 8px; box-shadow: 0 10px 25px rgba(0,0,0,0.08); overflow: "
       L"hidden; position: relative; }\n";
  o << L".header { background: #0f172a; border-bottom: 4px solid #0ea5e9; color: #ffffff; "
       L"padding: 26px 36px; display: flex; justify-content: space-between; align-items: "
       L"center; }\n";
  o << L".header h1 { margin: 0; font-size: 23px; letter-spacing: 1px; }\n";
  o << L".header p { margin: 6px 0 0; font-size: 13px; color: #bae6fd; }\n";
  o << L".badge { background: " << badgeColour
    << L"; color: #0f172a; padding: 10px 18px; border-radius: 4px; font-weight: 800; "
       L"font-size: 14px; }\n";
  o << L".content { padding: 28px 36px; position: relative; }\n";
  o << L".section-title { font-size: 15px; font-weight: 700; color: #0f172a; border-left: 5px "
       L"solid #0ea5e9; padding-left: 10px; margin: 22px 0 10px; }\n";
  o << L"table { width: 100%; border-collapse: collapse; margin-bottom: 14px; font-size: "
       L"13.5px; }\n";
  o << L"th, td { padding: 8px 12px; border: 1px solid #cbd5e1; text-align: left; }\n";
  o << L"th { width: 28%; background: #f8fafc; color: #334155; font-weight: 600; }\n";
  o << L".hash-box { background: #0f172a; color: #38bdf8; font-family: Consolas, monospace; "
       L"padding: 14px; border-radius: 6px; font-size: 13px; word-break: break-all; }\n";
  o << L".sign-row { display: flex; justify-content: space-between; margin-top: 32px; gap: "
       L"24px; }\n";
  o << L".sign-box { flex: 1; border-top: 1px solid #64748b; padding-top: 8px; font-size: 12px; "
       L"color: #475569; }\n";
  // On paper the whole form, signature block included, fits one A4 or Letter page: smaller
  // type and spacing, long values wrapped inside the page instead of widening the table.
  // A simulation's card carries a faint word across it, on screen and on paper, that no crop
  // of the badge can take away.
  if (simulation) {
    o << L".watermark { position: absolute; top: 42%; left: -10%; right: -10%; text-align: "
         L"center; transform: rotate(-24deg); font-size: 120px; font-weight: 900; "
         L"letter-spacing: 16px; color: rgba(15,23,42,0.08); pointer-events: none; z-index: 1; "
         L"}\n";
  }
  o << L"@media print {\n";
  o << L"  @page { margin: 8mm; }\n";
  o << L"  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }\n";
  o << L"  body { background: #fff; padding: 0; }\n";
  o << L"  .cert-container { max-width: none; box-shadow: none; border: 2px solid #000; "
       L"border-radius: 0; }\n";
  o << L"  .header { padding: 10px 16px; }\n";
  o << L"  .header h1 { font-size: 15px; letter-spacing: 0; }\n";
  o << L"  .header p { margin-top: 2px; font-size: 9px; }\n";
  o << L"  .badge { padding: 5px 9px; font-size: 10px; }\n";
  o << L"  .content { padding: 4px 16px 8px; }\n";
  o << L"  .section-title { margin: 6px 0 3px; font-size: 11px; border-left-width: 4px; }\n";
  o << L"  table { table-layout: fixed; margin-bottom: 3px; font-size: 9px; line-height: 1.25; }\n";
  o << L"  th, td { padding: 2px 5px; overflow-wrap: anywhere; }\n";
  o << L"  th { width: 26%; }\n";
  o << L"  tr { break-inside: avoid; }\n";
  o << L"  .hash-box { padding: 4px 8px; font-size: 9px; border-radius: 3px; }\n";
  o << L"  .sign-row { margin-top: 10px; gap: 16px; break-inside: avoid; }\n";
  o << L"  .sign-box { font-size: 9px; }\n";
  o << L"}\n";
  o << L"</style>\n";
  o << L"</head>\n";
  o << L"<body>\n";

  o << L"<div class=\"cert-container\">\n";
  o << L"  <div class=\"header\">\n";
  o << L"    <div>\n";
  o << L"      <h1>TOREVAL DISK ERASER - データ完全消去＆実機ハードウェア証明書</h1>\n";
  o << L"      <p>Machine Sanitization &amp; Hardware Verification Report | Issued by "
    << ProductSuiteText() << L"</p>\n";
  o << L"    </div>\n";
  o << L"    <div class=\"badge\">" << badgeText << L"</div>\n";
  o << L"  </div>\n";
  o << L"  <div class=\"content\">\n";
  o << L"    <div class=\"section-title\">1. Report details (消去証明・レポート詳細)</div>\n";
  o << L"    <table>\n";
  o << L"      <tr><th>Report UUID / 証明書ID</th><td><strong>" << v(r.certificateId)
    << L"</strong></td></tr>\n";
  o << L"      <tr><th>Report date (発行日時)</th><td>" << v(r.startTime) << L" ～ " << v(r.endTime)
    << L" (所要時間: " << ElapsedText(r.elapsedSeconds) << L")</td></tr>\n";
  o << L"      <tr><th>Software version</th><td>" << ProductSuiteText() << L" ("
    << v(EnvironmentLabel(r.isWinPE, r.hostSystem)) << L")</td></tr>\n";
  o << L"      <tr><th>Erasure standard (消去規格)</th><td><strong>" << v(ReportStandardName(r))
    << L" (" << std::to_wstring(r.passesCompleted) << L"/" << std::to_wstring(r.passesPlanned)
    << L" Passes)</strong></td></tr>\n";
  // The label of a standard can promise a TRIM; what the device answered is printed with it.
  if (!r.trimNotice.empty()) {
    o << L"      <tr><th>TRIM notice (TRIM通知)</th><td>" << v(r.trimNotice) << L"</td></tr>\n";
  }
  o << L"      <tr><th>Verification (ベリファイ検証)</th><td><strong>" << v(r.verificationResult)
    << L"</strong></td></tr>\n";
  // Only a job that read the disk back has the row; every other line stays as it was.
  if (!r.verificationScope.empty()) {
    o << L"      <tr><th>Verification scope (検証範囲)</th><td>" << v(r.verificationScope)
      << L"</td></tr>\n";
  }
  o << L"      <tr><th>Disk stamp state (実機スタンプ状態)</th><td><strong>" << v(r.diskStampStatus)
    << L"</strong> (" << ExecutionModeHtmlLabel(r.config.executionMode) << L")</td></tr>\n";
  for (const FirmwareLine& line : FirmwareLines(r.firmware)) {
    o << L"      <tr><th>" << line.htmlHeader << L"</th><td>" << v(line.value) << L"</td></tr>\n";
  }
  o << L"      <tr><th>Operator / Organization</th><td>" << v(r.config.operatorName) << L" / "
    << v(r.config.organizationName) << L"</td></tr>\n";
  o << L"      <tr><th>Notes (備考)</th><td>" << notes << L"</td></tr>\n";
  o << L"    </table>\n";

  o << L"    <div class=\"section-title\">2. Hardware details (対象実機ハードウェア詳細仕様)</div>\n";
  o << L"    <table>\n";
  const auto row = [&o, &v](const wchar_t* header, const std::wstring& value) {
    o << L"      <tr><th>" << header << L"</th><td>" << v(value) << L"</td></tr>\n";
  };
  const auto boldRow = [&o, &v](const wchar_t* header, const std::wstring& value) {
    o << L"      <tr><th>" << header << L"</th><td><strong>" << v(value)
      << L"</strong></td></tr>\n";
  };
  row(L"Manufacturer (メーカー)", hw.manufacturer);
  row(L"Chassis type (筐体タイプ)", hw.chassisType);
  boldRow(L"Model (システムモデル)", hw.model);
  row(L"Serial (システムS/N)", hw.serial);
  row(L"UUID (システムUUID)", hw.uuid);
  row(L"Asset tag (資産タグ)", hw.assetTag);
  row(L"Processor (CPU)", hw.processor);
  row(L"Total memory (搭載RAM)", hw.totalMemory);
  boldRow(L"Disk (消去対象ディスク)", hw.disk);
  row(L"Disk geometry (セクタ構成)", hw.diskGeometry);
  row(L"Graphics card (GPU)", hw.graphicsCard);
  row(L"Sound cards (オーディオ)", hw.soundCards);
  row(L"Network adapters (NIC/MAC)", hw.networkAdapters);
  row(L"Motherboard (マザーボード)", hw.motherboard);
  row(L"BIOS information", hw.biosInformation);
  row(L"Storage controller", hw.storageController);
  o << L"    </table>\n";

  o << L"    <div class=\"section-title\">3. Cryptographic SHA-256 Fingerprint "
       L"(改ざん防止デジタル署名)</div>\n";
  o << L"    <div class=\"hash-box\">SHA-256: " << v(r.sha256Fingerprint) << L"</div>\n";
  o << L"    <div class=\"sign-row\">\n";
  o << L"      <div class=\"sign-box\">作業実施者署名 (Operator Signature): "
       L"________________________</div>\n";
  o << L"      <div class=\"sign-box\">管理者・監査責任者承認 (Supervisor Approval): "
       L"________________________</div>\n";
  o << L"      <div class=\"sign-box\">確認日 (Date): ____年____月____日</div>\n";
  o << L"    </div>\n";
  o << L"  </div>\n";
  if (simulation) o << L"  <div class=\"watermark\">SIMULATION</div>\n";
  o << L"</div>\n";
  o << L"</body>\n";
  o << L"</html>\n";
  return o.str();
}

}  // namespace tvde
