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
  longest.trimNotice = L"NOT PERFORMED (TRIM/Deallocate Notice Refused - Overwrite Passes Only)";
  longest.verificationScope =
      L"every pass read back, full surface each time: 3 x 3,907,029,168 sectors, compared with "
      L"pass 1 (0x00), pass 2 (0xFF), pass 3 (random stream) and the partition-table areas with "
      L"0x00";
  FirmwareReport& f = longest.firmware;
  f.sanitize =
      L"ATA SANITIZE BLOCK ERASE EXT: COMPLETED (chosen from IDENTIFY word 59: crypto "
      L"scramble not supported, block erase supported)";
  f.command =
      L"ATA SANITIZE DEVICE (B4h), feature 0012h BLOCK ERASE EXT, LBA 426B6574h, "
      L"FAILURE MODE 0";
  f.completion = L"ATA status 50h (DRDY DSC), error 00h";
  f.statusLog =
      L"SANITIZE STATUS EXT: sanitize operation completed without error, progress "
      L"65535/65535";
  f.elapsedSeconds = 5432.1;
  f.check = L"16 of 16 check sectors written before the command no longer hold that data";
  f.hiddenArea =
      L"HPA: 1048576 sectors were hidden (reported 3905980592, native 3907029168); the "
      L"native max address was restored for this job (volatile: a power cycle brings "
      L"the HPA back) and the whole native range is erased";
  f.nistCategory = L"Purge (firmware: ATA SANITIZE BLOCK ERASE EXT)";
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
      {L"simulation_Certificate.html", BuildHtmlCertificate([&] {
         ReportData simulation = longest;
         simulation.config.executionMode = ExecutionMode::Simulation;
         return simulation;
       }())},
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
