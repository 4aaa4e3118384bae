// Writes sample reports into the current folder for the checks with real peers: a JSON
// parser and a browser. Values the checks expect are repeated there, not read from here.
#include <fstream>
#include <iostream>
#include <string>

#include "base/text.h"
#include "report/audit_log_text.h"
#include "report/html_certificate.h"
#include "report/json_report.h"
#include "sample_report.h"

namespace {

using tvde::ReportData;

bool Write(const std::string& name, const std::wstring& text) {
  const std::string bytes = tvde::WideToUtf8(text);
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out || bytes.empty()) {
    std::cerr << "cannot write " << name << "\n";
    return false;
  }
  return true;
}

// Texts an operator or a device could bring: quotes, backslashes, control characters,
// markup, Japanese and a character outside the basic plane.
ReportData HostileReport() {
  ReportData r = tvde::testing::SampleReport();
  r.elapsedSeconds = 1234567.0;
  r.config.operatorName = L"O\"Brien \\ \"quoted\" \\\\server\\share";
  r.config.organizationName = std::wstring(L"Line1\nLine2\r\n\tTabbed\b\f\x01\x1F end");
  r.config.notes = L"<script>document.title='PWNED'</script><b>bold?</b> & 'single' \"double\"";
  r.stamp.hardware.manufacturer = L"株式会社テスト \"引用\"";
  r.stamp.hardware.model = L"Model </script> & 'x' <img src=x onerror=alert(1)>";
  r.verificationResult = std::wstring(L"検証\\結果\0末尾", 8);
  r.diskStampStatus = L"\U0001F512 locked";
  r.config.executionMode = tvde::ExecutionMode::Simulation;
  return r;
}

}  // namespace

int main() {
  const ReportData sample = tvde::testing::SampleReport();
  const ReportData hostile = HostileReport();
  bool ok = Write("sample_Certificate.html", tvde::BuildHtmlCertificate(sample));
  ok = Write("sample_Report.json", tvde::BuildJsonReport(sample)) && ok;
  ok = Write("sample_AuditLog.txt", tvde::BuildAuditLogText(sample)) && ok;
  ok = Write("empty_Report.json", tvde::BuildJsonReport(ReportData{})) && ok;
  ok = Write("hostile_Report.json", tvde::BuildJsonReport(hostile)) && ok;
  // A zero character ends the UTF-8 text of a whole file; the page gets a value without one.
  ReportData hostilePage = hostile;
  hostilePage.verificationResult = L"検証\\結果 <i>not italic</i>";
  ok = Write("hostile_Certificate.html", tvde::BuildHtmlCertificate(hostilePage)) && ok;
  return ok ? 0 : 1;
}
