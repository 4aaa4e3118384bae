// Writes sample reports into the current folder for the checks with real peers: a JSON
// parser and a browser. Values the checks expect are repeated there, not read from here.
#include <iostream>

#include "report/html_certificate.h"
#include "report/json_report.h"
#include "report/utf8_file.h"
#include "sample_report.h"

int main() {
  using namespace tvde;
  // Texts an operator or a device could bring: quotes, backslashes, control characters,
  // markup, Japanese and a character outside the basic plane.
  ReportData hostile = testing::SampleReport();
  hostile.elapsedSeconds = 1234567.0;
  hostile.config.operatorName = L"O\"Brien \\ \"quoted\" \\\\server\\share";
  hostile.config.organizationName = L"Line1\nLine2\r\n\tTabbed\b\f\x01\x1F end";
  hostile.config.notes =
      L"<script>document.title='PWNED'</script><b>bold?</b> & 'single' \"double\"";
  hostile.stamp.hardware.manufacturer = L"株式会社テスト \"引用\"";
  hostile.stamp.hardware.model = L"Model </script> & 'x' <img src=x onerror=alert(1)>";
  hostile.verificationResult = std::wstring(L"検証\\結果\0末尾", 8);
  hostile.diskStampStatus = L"\U0001F512 locked";
  hostile.config.executionMode = ExecutionMode::Simulation;
  const std::pair<const wchar_t*, std::wstring> files[] = {
      {L"sample_Certificate.html", BuildHtmlCertificate(testing::SampleReport())},
      {L"sample_Report.json", BuildJsonReport(testing::SampleReport())},
      {L"empty_Report.json", BuildJsonReport(ReportData{})},
      {L"hostile_Report.json", BuildJsonReport(hostile)},
      // A zero character ends the UTF-8 text of a whole file; the page gets a value without one.
      {L"hostile_Certificate.html", BuildHtmlCertificate([&] {
         ReportData page = hostile;
         page.verificationResult = L"検証\\結果 <i>not italic</i>";
         return page;
       }())}};
  bool ok = true;
  for (const auto& [name, text] : files) {
    if (!WriteUtf8File(name, text) || text.empty()) {
      std::wcerr << L"cannot write " << name << L"\n";
      ok = false;
    }
  }
  return ok ? 0 : 1;
}
