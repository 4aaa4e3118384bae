// JSON report: golden text, layout, number form and escaping of string values.
#include "report/json_report.h"

#include <gtest/gtest.h>

#include <limits>

#include "sample_report.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::ReadGolden;
using testing::SampleReport;
using testing::SplitLines;
using testing::U8;

TEST(JsonReport, MatchesGoldenFileByteForByte) {
  const std::string golden = ReadGolden("sample_Report.json");
  ASSERT_FALSE(golden.empty()) << "golden file missing";
  EXPECT_EQ(U8(BuildJsonReport(SampleReport())), golden);
}

TEST(JsonReport, HasThirtySixLfLinesAndKeepsEmptyStrings) {
  const std::string text = U8(BuildJsonReport(ReportData{}));
  EXPECT_EQ(text.find('\r'), std::string::npos);
  const auto lines = SplitLines(text, "\n");
  ASSERT_EQ(lines.size(), 36u);
  EXPECT_EQ(lines.front(), "{\n");
  EXPECT_EQ(lines.back(), "}\n");
  EXPECT_EQ(lines[1], "  \"certificateId\": \"\",\n");
  EXPECT_EQ(lines[5], "  \"elapsedSeconds\": 0,\n");
  EXPECT_EQ(lines[6], "  \"executionMode\": \"SimulationDryRun\",\n");
  EXPECT_EQ(lines[25], "    \"storageController\": \"\"\n");
  EXPECT_EQ(lines[26], "  },\n");
  EXPECT_EQ(lines[29], "    \"passesCompleted\": 0,\n");
  EXPECT_EQ(lines[33], "  },\n");
  EXPECT_EQ(lines[34], "  \"sha256Fingerprint\": \"\"\n");
  for (const std::string& line : lines)
    EXPECT_NE(line, "\n");
}

TEST(JsonReport, NumbersUseTheGeneralSixDigitFormOnEveryPlatform) {
  EXPECT_EQ(U8(FormatJsonNumber(12.3456789)), "12.3457");
  EXPECT_EQ(U8(FormatJsonNumber(1234567.0)), "1.23457e+06");
  EXPECT_EQ(U8(FormatJsonNumber(0.0)), "0");
  EXPECT_EQ(U8(FormatJsonNumber(123456.0)), "123456");
  EXPECT_EQ(U8(FormatJsonNumber(0.0001)), "0.0001");
  EXPECT_EQ(U8(FormatJsonNumber(0.00001234)), "1.234e-05");
  EXPECT_EQ(U8(FormatJsonNumber(1e100)), "1e+100");
  EXPECT_EQ(U8(FormatJsonNumber(2.5)), "2.5");
  EXPECT_EQ(U8(FormatJsonNumber(std::numeric_limits<double>::quiet_NaN())), "null");
  EXPECT_EQ(U8(FormatJsonNumber(std::numeric_limits<double>::infinity())), "null");

  ReportData r;
  r.elapsedSeconds = 1234567.0;
  EXPECT_EQ(SplitLines(U8(BuildJsonReport(r)), "\n")[5], "  \"elapsedSeconds\": 1.23457e+06,\n");
}

TEST(JsonReport, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(U8(EscapeJsonString(L"a\"b\\c")), "a\\\"b\\\\c");
  EXPECT_EQ(U8(EscapeJsonString(L"\b\f\n\r\t")), "\\b\\f\\n\\r\\t");
  EXPECT_EQ(U8(EscapeJsonString(std::wstring(L"x\x01y\x1Fz", 5))), "x\\u0001y\\u001Fz");
  EXPECT_EQ(U8(EscapeJsonString(std::wstring(L"a\0b", 3))), "a\\u0000b");
  // Everything else stays as it is: slash, DEL, Japanese.
  EXPECT_EQ(U8(EscapeJsonString(L"C:/x \x7F 消去済")), "C:/x \x7F 消去済");

  ReportData r = SampleReport();
  r.config.operatorName = L"O\"Brien \\ 1\n2";
  const auto lines = SplitLines(U8(BuildJsonReport(r)), "\n");
  ASSERT_EQ(lines.size(), 36u);
  EXPECT_EQ(lines[7], "  \"operatorName\": \"O\\\"Brien \\\\ 1\\n2\",\n");
}

TEST(JsonReport, AnyModeButSimulationIsARealWrite) {
  ReportData r = SampleReport();
  r.config.executionMode = static_cast<ExecutionMode>(2);
  EXPECT_EQ(SplitLines(U8(BuildJsonReport(r)), "\n")[6],
            "  \"executionMode\": \"RealHardwareWrite\",\n");
}

}  // namespace
}  // namespace tvde
