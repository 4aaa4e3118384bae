// The three report formats against hand-written golden files and what those do not fix (modes,
// badges, numbers, escaping); certificate IDs, the fingerprint and the UTF-8 file writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <regex>
#include <tuple>

#include "report/audit_log_text.h"
#include "report/html_certificate.h"
#include "report/json_report.h"
#include "report/report_fingerprint.h"
#include "report/report_identity.h"
#include "report/report_labels.h"
#include "report/report_reading.h"
#include "report/utf8_file.h"
#include "sample_report.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tvde {
namespace {

using namespace tvde::testing;

bool Has(const std::wstring& text, const std::string& part) {
  return U8(text).find(part) != std::string::npos;
}

TEST(ReportFormats, SampleRecordGivesTheGoldenFilesByteForByte) {
  const ReportData r = SampleReport();
  EXPECT_EQ(U8(BuildAuditLogText(r)), ReadGolden("sample_AuditLog.txt"));
  EXPECT_EQ(U8(BuildJsonReport(r)), ReadGolden("sample_Report.json"));
  EXPECT_EQ(U8(BuildHtmlCertificate(r)), ReadGolden("sample_Certificate.html"));
}

TEST(ReportFormats, ScopeAndTrimOutcomeAreOneLineEachThatMovesNoOtherAndReadsBack) {
  ReportData r = SampleReport();  // with a verification scope, without a TRIM outcome
  std::string txt = U8(BuildAuditLogText(r)), json = U8(BuildJsonReport(r));
  std::string html = U8(BuildHtmlCertificate(r));
  const auto without = [](std::string text, const std::string& start) {
    const size_t at = text.find(start);
    return text.erase(at, text.find('\n', at) + 1 - at);
  };
  ReportData unread = r;
  unread.verificationScope.clear();
  EXPECT_EQ(U8(BuildAuditLogText(unread)), without(txt, "  Verification Scope : "));
  EXPECT_EQ(U8(BuildJsonReport(unread)), without(json, "    \"verificationScope\": "));
  EXPECT_EQ(U8(BuildHtmlCertificate(unread)), without(html, "      <tr><th>Verification scope"));
  r.trimNotice = L"NOT PERFORMED (\"refused\")";
  html.insert(html.find("      <tr><th>Verification"),
              "      <tr><th>TRIM notice (TRIM通知)</th><td>NOT PERFORMED (&quot;refused&quot;)"
              "</td></tr>\n");
  EXPECT_EQ(U8(BuildHtmlCertificate(r)), html);
  txt.insert(txt.find("\r\n", txt.find("  Disk Stamp Status  : ")) + 2,
             "  TRIM Notice        : NOT PERFORMED (\"refused\")\r\n");
  json.insert(json.find("  \"sha256Fingerprint\""),
              "  \"trimNotice\": \"NOT PERFORMED (\\\"refused\\\")\",\n");
  EXPECT_EQ(U8(BuildAuditLogText(r)), txt);
  EXPECT_EQ(U8(BuildJsonReport(r)), json);
  ReportData back;
  std::string error;
  ASSERT_TRUE(ReadJsonReport(json, back, error)) << error;
  EXPECT_EQ(back.trimNotice, r.trimNotice);
  EXPECT_EQ(back.verificationScope, r.verificationScope);
}

// The drive's own erase adds its lines after the TRIM notice in every format, each only when
// set, and the JSON report gives them back; no existing line moves.
TEST(ReportFormats, FirmwareLinesAreAddedOnlyWhereTheyApplyAndReadBack) {
  ReportData r = SampleReport();
  std::string txt = U8(BuildAuditLogText(r)), json = U8(BuildJsonReport(r)),
              html = U8(BuildHtmlCertificate(r));
  FirmwareReport& f = r.firmware;
  f.sanitize = L"NVMe Sanitize Crypto Erase: COMPLETED";
  f.command = L"NVMe Sanitize (opcode 84h, CDW10 00000004h: SANACT 4)";
  f.completion = L"NVMe status 0000h (SCT 0h, SC 00h: Successful Completion)";
  f.statusLog = L"SSTAT 0101h (completed successfully), SPROG 0/65536, SCDW10 00000004h";
  f.elapsedSeconds = 12.34;
  f.check = L"8 of 8 check sectors written before the command no longer hold that data";
  f.hiddenArea = L"none <native>";
  f.nistCategory = L"Purge (firmware: NVMe Sanitize Crypto Erase)";
  txt.insert(
      txt.find("\r\n", txt.find("  Disk Stamp Status  : ")) + 2,
      "  Firmware Sanitize  : NVMe Sanitize Crypto Erase: COMPLETED\r\n"
      "  Firmware Command   : NVMe Sanitize (opcode 84h, CDW10 00000004h: SANACT 4)\r\n"
      "  Drive Completion   : NVMe status 0000h (SCT 0h, SC 00h: Successful Completion)\r\n"
      "  Sanitize Status    : SSTAT 0101h (completed successfully), SPROG 0/65536, SCDW10 00000004h\r\n"
      "  Firmware Elapsed   : 12.34 秒\r\n"
      "  Firmware Check     : 8 of 8 check sectors written before the command no longer hold that data\r\n"
      "  Hidden Area        : none <native>\r\n"
      "  NIST 800-88 Result : Purge (firmware: NVMe Sanitize Crypto Erase)\r\n");
  json.insert(
      json.find("  \"sha256Fingerprint\""),
      "  \"firmwareSanitize\": \"NVMe Sanitize Crypto Erase: COMPLETED\",\n"
      "  \"firmwareCommand\": \"NVMe Sanitize (opcode 84h, CDW10 00000004h: SANACT 4)\",\n"
      "  \"driveCompletion\": \"NVMe status 0000h (SCT 0h, SC 00h: Successful Completion)\",\n"
      "  \"sanitizeStatus\": \"SSTAT 0101h (completed successfully), SPROG 0/65536, SCDW10 00000004h\",\n"
      "  \"firmwareElapsedSeconds\": 12.34,\n"
      "  \"firmwareCheck\": \"8 of 8 check sectors written before the command no longer hold that data\",\n"
      "  \"hiddenArea\": \"none <native>\",\n"
      "  \"nistCategory\": \"Purge (firmware: NVMe Sanitize Crypto Erase)\",\n");
  const size_t row = html.find("\n", html.find("<tr><th>Disk stamp state")) + 1;
  html.insert(
      row,
      "      <tr><th>Firmware sanitize (ファームウェア消去)</th><td>NVMe Sanitize Crypto Erase: COMPLETED</td></tr>\n");
  EXPECT_EQ(U8(BuildAuditLogText(r)), txt);
  EXPECT_EQ(U8(BuildJsonReport(r)), json);
  const std::string page = U8(BuildHtmlCertificate(r));
  EXPECT_EQ(page.substr(0, row + 118), html.substr(0, row + 118));
  EXPECT_EQ(Count(page, "<tr><th>"), Count(html, "<tr><th>") + 7);
  EXPECT_EQ(Count(page, "<td>none &lt;native&gt;</td>"), 1u);  // escaped like every value
  ReportData back;
  std::string error;
  ASSERT_TRUE(ReadJsonReport(json, back, error)) << error;
  EXPECT_EQ(U8(BuildAuditLogText(back)).substr(txt.find("  Firmware")),
            txt.substr(txt.find("  Firmware")).substr(0, txt.size() - txt.find("  Firmware")))
      << "the firmware lines come back from the JSON report";
  // A disk without a firmware erase: its reason and the category, nothing about a command.
  r.firmware = {};
  r.firmware.sanitize =
      L"firmware sanitize not available (no firmware commands) — overwrite passes only";
  r.firmware.nistCategory = L"Clear (overwrite only; flash media keep spare blocks)";
  const std::string clear = U8(BuildAuditLogText(r));
  EXPECT_EQ(Count(clear, "\r\n"), 37u);  // 34, the sample's scope line and these two
  EXPECT_EQ(Count(clear, "Firmware Elapsed"), 0u);
}

TEST(ReportFormats, OnlyASimulationIsReportedAsOneAndADesktopIsNoWinPE) {
  ReportData r = SampleReport();
  r.config.executionMode = static_cast<ExecutionMode>(7);  // anything else is a real write
  EXPECT_TRUE(Has(BuildAuditLogText(r), "  Execution Mode     : Physical Hardware Erase\r\n"));
  EXPECT_TRUE(Has(BuildJsonReport(r), "  \"executionMode\": \"RealHardwareWrite\",\n"));
  r.config.executionMode = ExecutionMode::Simulation;
  r.passesCompleted = 2;
  r.isWinPE = 2;  // only exactly 1 means WinPE
  EXPECT_TRUE(Has(BuildAuditLogText(r),
                  "  Execution Mode     : Simulation (Dry-Run)\r\n  Sanitization Method: DoD "
                  "5220.22-M (3 Passes - 米国国防総省標準)\r\n  Passes Completed   : 2 / 3\r\n"));
  const std::wstring html = BuildHtmlCertificate(r);
  EXPECT_TRUE(Has(html,
                  "<strong>BIOS/UEFI ブータブルスタンプ記録済</strong> (Simulation / "
                  "Dry-Run Verification Mode (安全テストモード))</td>"));
  EXPECT_TRUE(Has(html, "米国国防総省標準) (2/3 Passes)</strong>"));
  EXPECT_TRUE(Has(html, "v1.3.0 (Microsoft Windows Workstation OS)</td>"));
  // Any other system is named as the job recorded it; WinPE is named so whatever the host.
  r.hostSystem = L"Linux 6.1.0-28-amd64";
  EXPECT_TRUE(Has(BuildHtmlCertificate(r), "v1.3.0 (Linux 6.1.0-28-amd64)</td>"));
  r.isWinPE = 1;
  EXPECT_TRUE(Has(BuildHtmlCertificate(r), "(Windows Preinstallation Environment (WinPE "));
}

TEST(ReportFormats, TheBadgeFollowsTheFactsAndOnlyAVerifiedErasureIsGreen) {
  // 0: a completed simulation; 1: completed unverified; 2: completed with DCO sectors left;
  // 5: both 1 and 2.
  // clang-format off
  for (const auto& [status, text, colour] : {std::tuple(3, "COMPLETED & VERIFIED (完全消去済)", "#10b981"),
       std::tuple(4, "CANCELLED (中断)", "#f59e0b"), std::tuple(-1, "FAILED (エラー終了)", "#ef4444"),
       std::tuple(0, "SIMULATION — NO DATA ERASED (シミュレーション・未消去)", "#94a3b8"),
       std::tuple(1, "COMPLETED, UNVERIFIED (完全消去済・検証なし)", "#f59e0b"),
       std::tuple(2, "COMPLETED, HIDDEN SECTORS NOT ERASED (隠し領域未消去)", "#f59e0b"),
       std::tuple(5, "COMPLETED, UNVERIFIED, HIDDEN SECTORS NOT ERASED (隠し領域未消去・検証なし)", "#f59e0b")}) {
    // clang-format on
    ReportData r = SampleReport();
    r.statusCode = (status >= 0 && status < 3) || status == 5 ? 3 : status;
    if (status == 0) r.config.executionMode = ExecutionMode::Simulation;
    if (status == 1 || status == 5) r.verificationResult = L"SKIPPED (検証なし設定)";
    if (status == 2 || status == 5)
      r.firmware.hiddenArea = L"DCO restriction: 8 sectors" + std::wstring(kDcoNotErasedNote);
    const std::string html = U8(BuildHtmlCertificate(r));
    EXPECT_EQ(Count(html, std::string("<div class=\"badge\">") + text + "</div>"), 1u) << status;
    EXPECT_EQ(Count(html, std::string(".badge { background: ") + colour + ";"), 1u) << status;
    EXPECT_EQ(Count(html, colour), 1u) << "colour only inside the badge rule";
    // Only a simulation's card carries the word across it.
    EXPECT_EQ(Count(html, "<div class=\"watermark\">SIMULATION</div>"), status == 0 ? 1u : 0u);
    EXPECT_EQ(RecordsVerifiedErasure(r), status == 3) << status;
    // Read back, every badge names its status again.
    ReportData back;
    std::string error;
    ASSERT_TRUE(ReadJsonReport(U8(BuildJsonReport(r)), back, error)) << error;
    ASSERT_TRUE(ReadCertificateOnlyFields(html, back, error)) << error;
    EXPECT_EQ(back.statusCode, status == -1 ? kStatusFailed : r.statusCode) << status;
  }
}

TEST(ReportFormats, JsonNumbersUseTheGeneralSixDigitFormOnEveryPlatformAndNullForTheRest) {
  EXPECT_EQ(U8(FormatJsonNumber(0.00001234) + L" " + FormatJsonNumber(1e100) + L" " +
               FormatJsonNumber(std::numeric_limits<double>::quiet_NaN()) + L" " +
               FormatJsonNumber(std::numeric_limits<double>::infinity())),
            "1.234e-05 1e+100 null null");
}

TEST(ReportFormats, EveryRecordValueIsEscapedInTheCertificate) {
  ReportData r;
  const std::wstring hostile = L"<b>&'\"";
  r.certificateId = r.startTime = r.endTime = hostile;
  r.config.operatorName = r.config.organizationName = r.config.notes = hostile;
  r.verificationResult = r.diskStampStatus = r.sha256Fingerprint = hostile;
  r.stamp.hardware.model = r.stamp.hardware.disk = r.stamp.hardware.networkAdapters = hostile;
  r.statusCode = 3;
  r.config.executionMode = ExecutionMode::RealWrite;
  const std::string html = U8(BuildHtmlCertificate(r));
  EXPECT_EQ(Count(html, "<b>"), 0u);
  EXPECT_EQ(Count(html, "&lt;b&gt;&amp;&#39;&quot;"), 13u);
  EXPECT_EQ(Count(html, "<title>Certificate of Data Erasure - &lt;b&gt;"), 1u);
  // The page's own texts keep their characters.
  EXPECT_EQ(Count(html, "Machine Sanitization &amp; Hardware"), 1u);
  EXPECT_EQ(Count(html, "<div class=\"badge\">COMPLETED & VERIFIED"), 1u);
}

TEST(WriteUtf8File, WritesUtf8WithoutByteOrderMarkReplacesAnOldFileInFullAndFailsCleanly) {
  TempDir dir;
  WriteFilledFile(dir.path() / "report.txt", 10000, 'x');
  ASSERT_TRUE(WriteUtf8File(dir.File("report.txt"), L"消去\r\nOperator: 山田\r\n"));
  EXPECT_EQ(ReadTextFile(dir.path() / "report.txt"),
            "\xE6\xB6\x88\xE5\x8E\xBB\r\nOperator: \xE5\xB1\xB1\xE7\x94\xB0\r\n");
  ASSERT_TRUE(WriteUtf8File(dir.File("report.txt"), L""));
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "report.txt"), 0u);
  EXPECT_FALSE(WriteUtf8File(dir.File("no-such-folder/report.html"), L"<html>"));
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no-such-folder"));
  // Text without a UTF-8 form is refused before the old report is touched.
  WriteFilledFile(dir.path() / "old.txt", 3, 'o');
  std::wstring broken = L"Serial: ";
  broken.push_back(static_cast<wchar_t>(0xD800));  // unpaired surrogate
  EXPECT_FALSE(WriteUtf8File(dir.File("old.txt"), broken));
  EXPECT_EQ(ReadTextFile(dir.path() / "old.txt"), "ooo");
  std::string bytes = "unchanged";
  EXPECT_TRUE(EncodeUtf8FileContent(std::wstring(L"\0tail", 5), bytes));
  EXPECT_EQ(bytes, "");
#ifdef _WIN32
  const std::wstring locked = dir.File("locked.html");
  HANDLE holder = CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
  EXPECT_FALSE(WriteUtf8File(locked, L"<html>"));  // held without sharing
  CloseHandle(holder);
  EXPECT_TRUE(WriteUtf8File(locked, L"<html>"));
#else
  // Only a file is ever replaced: the temporary file never takes the place of a device node.
  EXPECT_FALSE(WriteUtf8File(L"/dev/full", L"report"));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
  EXPECT_FALSE(std::filesystem::exists("/dev/full.tmp"));
#endif
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".tmp");  // no temporary file stays behind
}

TEST(CertificateId, TheClocksDateAndTimeAndFreshRandomBytes) {
  const LocalTime t{2026, 1, 5, 14, 30, 12, 999};
  EXPECT_EQ(U8(FormatCertificateId(t, {0x9A, 0x0B, 0x1C, 0x2D})), "TVDE-20260105-143012-9A0B1C2D");
  EXPECT_EQ(U8(FormatTimestamp({999, 12, 31, 23, 59, 59, 0})), "0999-12-31 23:59:59");
  const std::string year = U8(FormatTimestamp(CurrentLocalTime())).substr(0, 4);
  const std::string id = U8(MakeCertificateId()), next = U8(MakeCertificateId());
  EXPECT_TRUE(std::regex_match(id, std::regex("TVDE-" + year + "[0-9]{4}-[0-9]{6}-[0-9A-F]{8}")))
      << id;
  EXPECT_NE(id.substr(21), next.substr(21));  // a 2^-32 chance of a false alarm
}

TEST(ReportFingerprint, HashesTheTenItemsAsUtf8WithSizesIn64Bits) {
  // Text and digest worked out by hand and with an independent SHA-256 implementation: any item
  // left out, or anything else taken in, changes the digest. A digest that cannot be made is
  // marked as such, never given as hex.
  EXPECT_EQ(U8(FormatSha256Digest({Sha256Status::Unavailable, {}})), "SHA256-UNAVAILABLE");
  EXPECT_EQ(U8(BuildFingerprintText(ReportData{})),
            "|||Generic Physical Disk|N/A|0|NIST SP 800-88 Rev.1 Purge "
            "(NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)|0/0||0");
  ReportData r;
  r.certificateId = L"TVDE-20260105-143012-9A0B1C2D";
  r.startTime = L"2026-01-05 14:30:12";
  r.endTime = L"2026-01-05 16:05:47";
  r.config.disk.model = L"東芝 MQ04ABF100";
  r.config.disk.serialNumber = L"Z9K1ABCDE";
  r.config.disk.sizeBytes = 5000000000000ULL;
  r.config.standard = EraseStandard::Gutmann;
  r.passesCompleted = r.passesPlanned = 35;
  r.verificationResult = L"検証合格 (全サンプル一致)";
  r.statusCode = 3;
  EXPECT_EQ(U8(ComputeReportFingerprint(r)),
            "343678788DE02DCC511A47864ED9C11608E093735C4D8E8E5B4B30AFF8342629");
}

}  // namespace
}  // namespace tvde
