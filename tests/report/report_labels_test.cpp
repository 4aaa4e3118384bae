// Labels shared by the report formats.
#include "report/report_labels.h"

#include <gtest/gtest.h>

#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(ReportLabels, ProductTexts) {
  EXPECT_EQ(U8(ProductSuiteText()), "Toreval Disk Eraser Suite v1.3.0");
  EXPECT_EQ(U8(ProductVersionText()), "Toreval Disk Eraser v1.3.0");
}

TEST(ReportLabels, StatusBadgeVariants) {
  const auto completed = StatusBadge(3);
  EXPECT_EQ(U8(completed.first), "COMPLETED & VERIFIED (完全消去済)");
  EXPECT_EQ(U8(completed.second), "#10b981");
  const auto cancelled = StatusBadge(4);
  EXPECT_EQ(U8(cancelled.first), "CANCELLED (中断)");
  EXPECT_EQ(U8(cancelled.second), "#f59e0b");
  for (int32_t code : {5, 0, 1, 2, -4, 2147483647}) {
    const auto failed = StatusBadge(code);
    EXPECT_EQ(U8(failed.first), "FAILED (エラー終了)") << code;
    EXPECT_EQ(U8(failed.second), "#ef4444") << code;
  }
}

TEST(ReportLabels, ExecutionModeAndEnvironment) {
  const auto real = ExecutionMode::RealWrite;
  const auto other = static_cast<ExecutionMode>(-1);
  const auto sim = ExecutionMode::Simulation;
  EXPECT_EQ(U8(ExecutionModeHtmlLabel(real)),
            "Hardware Physical Sector Sanitization (実機物理セクタ完全消去)");
  EXPECT_EQ(U8(ExecutionModeHtmlLabel(other)), U8(ExecutionModeHtmlLabel(real)));
  EXPECT_EQ(U8(ExecutionModeHtmlLabel(sim)),
            "Simulation / Dry-Run Verification Mode (安全テストモード)");
  EXPECT_EQ(U8(ExecutionModeTxtLabel(real)), "Physical Hardware Erase");
  EXPECT_EQ(U8(ExecutionModeTxtLabel(sim)), "Simulation (Dry-Run)");
  EXPECT_EQ(U8(ExecutionModeJsonLabel(other)), "RealHardwareWrite");
  EXPECT_EQ(U8(ExecutionModeJsonLabel(sim)), "SimulationDryRun");
  EXPECT_EQ(U8(EnvironmentLabel(1)), "Windows Preinstallation Environment (WinPE Standalone)");
  EXPECT_EQ(U8(EnvironmentLabel(0)), "Microsoft Windows Workstation OS");
  EXPECT_EQ(U8(EnvironmentLabel(-1)), "Microsoft Windows Workstation OS");
}

TEST(ReportLabels, ElapsedTextHasTwoDecimals) {
  EXPECT_EQ(U8(ElapsedText(0.0)), "0.00 秒");
  EXPECT_EQ(U8(ElapsedText(12.3456789)), "12.35 秒");
  EXPECT_EQ(U8(ElapsedText(1234567.0)), "1234567.00 秒");
}

}  // namespace
}  // namespace tvde
