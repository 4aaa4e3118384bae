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
  // The longest texts a real job prints: long names, three network adapters, long operator
  // texts, every row that appears only when it applies.
  ReportData longest = testing::SampleReport();
  longest.isWinPE = 0;
  longest.hostSystem = L"Microsoft Windows Server 2022 Datacenter: Azure Edition";
  longest.trimNotice = L"ACCEPTED BY DEVICE (デバイスが受理)";
  longest.config.operatorName = std::wstring(64, L'長');
  longest.config.organizationName =
      L"Toreval Asset Recovery & IT Disposal Services, Kanagawa " + std::wstring(24, L'営');
  longest.config.notes = std::wstring(40, L'備') + L" " + std::wstring(120, L'N');
  longest.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
  HardwareProfile& hw = longest.stamp.hardware;
  hw.model = L"ThinkPad X1 Carbon Gen 11 Type 21HM " + std::wstring(40, L'X');
  hw.disk = L"1863.02 GB SSD (NVMe), Model: WD_BLACK SN850X HS 2000GB with Heatsink " +
            std::wstring(20, L'W') + L", Serial: 23145K802137000000000000000000000000";
  hw.networkAdapters =
      L"Adapter 1: Intel(R) Ethernet Connection (16) I219-LM, 8c:8c:aa:12:34:56 | Adapter 2: "
      L"Intel(R) Wi-Fi 6E AX211 160MHz, 8c:8c:aa:12:34:57 | Adapter 3: Realtek USB GbE Family "
      L"Controller #2, 00:e0:4c:68:00:01";
  hw.soundCards =
      L"Card 1: Realtek, Realtek(R) Audio | Card 2: Intel(R) Display Audio | Card 3: "
      L"Intel(R) Smart Sound Technology for Digital Microphones";
  const std::pair<const wchar_t*, std::wstring> files[] = {
      {L"sample_Certificate.html", BuildHtmlCertificate(testing::SampleReport())},
      {L"longest_Certificate.html", BuildHtmlCertificate(longest)},
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
