// HTML certificate: golden text, badge variants, labels and escaping of record values.
#include "report/html_certificate.h"

#include <gtest/gtest.h>

#include "sample_report.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::ReadGolden;
using testing::SampleReport;
using testing::SplitLines;
using testing::U8;

std::vector<std::string> HtmlLines(const ReportData& r) {
  return SplitLines(U8(BuildHtmlCertificate(r)), "\n");
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
    ++n;
  return n;
}

TEST(HtmlCertificate, MatchesGoldenFileByteForByte) {
  const std::string golden = ReadGolden("sample_Certificate.html");
  ASSERT_FALSE(golden.empty()) << "golden file missing";
  EXPECT_EQ(U8(BuildHtmlCertificate(SampleReport())), golden);
}

TEST(HtmlCertificate, HasSeventyFourLfLines) {
  const std::string text = U8(BuildHtmlCertificate(ReportData{}));
  EXPECT_EQ(text.find('\r'), std::string::npos);
  const auto lines = SplitLines(text, "\n");
  ASSERT_EQ(lines.size(), 74u);
  EXPECT_EQ(lines.front(), "<!DOCTYPE html>\n");
  EXPECT_EQ(lines.back(), "</html>\n");
  EXPECT_EQ(lines[42], "      <tr><th>Notes (備考)</th><td>-</td></tr>\n");
  EXPECT_EQ(lines[36],
            "      <tr><th>Report date (発行日時)</th><td> ～  (所要時間: 0.00 秒)</td></tr>\n");
}

TEST(HtmlCertificate, BadgeTextAndColourFollowTheStatus) {
  struct Case {
    int32_t status;
    const char* text;
    const char* colour;
  };
  const Case cases[] = {
      {3, "COMPLETED & VERIFIED (完全消去済)", "#10b981"},
      {4, "CANCELLED (中断)", "#f59e0b"},
      {5, "FAILED (エラー終了)", "#ef4444"},
      {0, "FAILED (エラー終了)", "#ef4444"},
      {-1, "FAILED (エラー終了)", "#ef4444"},
      {42, "FAILED (エラー終了)", "#ef4444"},
  };
  for (const Case& c : cases) {
    ReportData r = SampleReport();
    r.statusCode = c.status;
    const std::string text = U8(BuildHtmlCertificate(r));
    const auto lines = SplitLines(text, "\n");
    EXPECT_EQ(lines[11], std::string(".badge { background: ") + c.colour +
                             "; color: #0f172a; padding: 10px 18px; border-radius: 4px; "
                             "font-weight: 800; font-size: 14px; }\n")
        << c.status;
    EXPECT_EQ(lines[30], std::string("    <div class=\"badge\">") + c.text + "</div>\n");
    EXPECT_EQ(Count(text, c.colour), 1u) << "colour only inside the badge rule";
  }
}

TEST(HtmlCertificate, SimulationAndDesktopLabels) {
  ReportData r = SampleReport();
  r.config.executionMode = ExecutionMode::Simulation;
  r.isWinPE = 0;
  r.passesCompleted = 1;
  const auto lines = HtmlLines(r);
  EXPECT_EQ(lines[37],
            "      <tr><th>Software version</th><td>Toreval Disk Eraser Suite v1.3.0 (Microsoft "
            "Windows Workstation OS)</td></tr>\n");
  EXPECT_EQ(lines[38],
            "      <tr><th>Erasure standard (消去規格)</th><td><strong>DoD 5220.22-M (3 Passes - "
            "米国国防総省標準) (1/3 Passes)</strong></td></tr>\n");
  EXPECT_EQ(lines[40],
            "      <tr><th>Disk stamp state (実機スタンプ状態)</th><td><strong>BIOS/UEFI "
            "ブータブルスタンプ記録済</strong> (Simulation / Dry-Run Verification Mode "
            "(安全テストモード))</td></tr>\n");
  r.isWinPE = 2;  // only exactly 1 means WinPE
  EXPECT_NE(HtmlLines(r)[37].find("(Microsoft Windows Workstation OS)"), std::string::npos);
}

TEST(HtmlCertificate, EveryRecordValueIsEscapedAndFixedLinesStay) {
  ReportData r;
  const std::wstring hostile = L"<b>&'\"";
  const std::string escaped = "&lt;b&gt;&amp;&#39;&quot;";
  r.certificateId = hostile;
  r.startTime = r.endTime = hostile;
  r.config.operatorName = r.config.organizationName = hostile;
  r.verificationResult = r.diskStampStatus = r.sha256Fingerprint = hostile;
  r.config.notes = hostile;
  r.stamp.hardware.model = r.stamp.hardware.disk = r.stamp.hardware.networkAdapters = hostile;
  r.statusCode = 3;
  const std::string text = U8(BuildHtmlCertificate(r));
  EXPECT_EQ(Count(text, "<b>"), 0u);
  EXPECT_EQ(Count(text, escaped), 13u);
  const auto lines = SplitLines(text, "\n");
  ASSERT_EQ(lines.size(), 74u);
  EXPECT_EQ(lines[4], "<title>Certificate of Data Erasure - " + escaped + "</title>\n");
  EXPECT_EQ(lines[48], "      <tr><th>Model (システムモデル)</th><td><strong>" + escaped +
                           "</strong></td></tr>\n");
  // The page's own texts keep their characters: the fixed entity and the badge text.
  EXPECT_EQ(lines[28],
            "      <p>Machine Sanitization &amp; Hardware Verification Report | Issued by Toreval "
            "Disk Eraser Suite v1.3.0</p>\n");
  EXPECT_EQ(lines[30], "    <div class=\"badge\">COMPLETED & VERIFIED (完全消去済)</div>\n");
  EXPECT_EQ(U8(EscapeHtml(L"plain 消去 text")), "plain 消去 text");
}

}  // namespace
}  // namespace tvde
