// TXT audit log: whole text against the hand-written golden file, line structure, labels.
#include "report/audit_log_text.h"

#include <gtest/gtest.h>

#include "sample_report.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::ReadGolden;
using testing::SampleReport;
using testing::SplitLines;
using testing::U8;

TEST(AuditLogText, MatchesGoldenFileByteForByte) {
  const std::string golden = ReadGolden("sample_AuditLog.txt");
  ASSERT_FALSE(golden.empty()) << "golden file missing";
  EXPECT_EQ(U8(BuildAuditLogText(SampleReport())), golden);
}

TEST(AuditLogText, HasThirtyFourCrlfLinesWithValuesInColumn24) {
  const std::string text = U8(BuildAuditLogText(SampleReport()));
  const auto lines = SplitLines(text, "\r\n");
  ASSERT_EQ(lines.size(), 34u);
  const std::string rule(72, '=');
  EXPECT_EQ(lines.back(), rule + "\r\n");
  EXPECT_EQ(lines[0], rule + "\r\n");
  EXPECT_EQ(lines[15], std::string(72, '-') + "\r\n");
  for (const std::string& line : lines) {
    ASSERT_GE(line.size(), 2u);
    EXPECT_EQ(line.substr(line.size() - 2), "\r\n");
    // No bare line feed or carriage return inside a line.
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_EQ(line.find('\t'), std::string::npos);
  }
  // Field lines: lines 5-15 and 18-33 (1-based); their labels end in ": " at column 23.
  for (size_t i : {4u, 5u, 10u, 14u, 17u, 24u, 32u}) {
    EXPECT_EQ(lines[i].substr(0, 2), "  ") << lines[i];
    EXPECT_EQ(lines[i].substr(21, 2), ": ") << lines[i];
  }
  EXPECT_EQ(lines[12], "  Verification Result: PASSED (256/256 サンプル一致)\r\n");
}

TEST(AuditLogText, SimulationEmptyValuesAndEmbeddedLineBreaks) {
  ReportData r = SampleReport();
  r.config.executionMode = ExecutionMode::Simulation;
  r.config.organizationName.clear();
  r.diskStampStatus.clear();
  r.verificationResult = L"line one\r\nline two";
  const auto lines = SplitLines(U8(BuildAuditLogText(r)), "\r\n");
  ASSERT_EQ(lines.size(), 35u);  // the value's own line break is copied unchanged
  EXPECT_EQ(lines[8], "  Operator / Org     : 山田 太郎 / \r\n");
  EXPECT_EQ(lines[9], "  Execution Mode     : Simulation (Dry-Run)\r\n");
  EXPECT_EQ(lines[12], "  Verification Result: line one\r\n");
  EXPECT_EQ(lines[13], "line two\r\n");
  EXPECT_EQ(lines[14], "  Disk Stamp Status  : \r\n");

  r = SampleReport();
  r.config.executionMode = static_cast<ExecutionMode>(7);
  r.passesCompleted = 2;
  EXPECT_EQ(SplitLines(U8(BuildAuditLogText(r)), "\r\n")[9],
            "  Execution Mode     : Physical Hardware Erase\r\n");
  EXPECT_EQ(SplitLines(U8(BuildAuditLogText(r)), "\r\n")[11], "  Passes Completed   : 2 / 3\r\n");
}

}  // namespace
}  // namespace tvde
