// TXT audit log: whole text against the hand-written golden file, then the labels and values
// that differ from it.
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
