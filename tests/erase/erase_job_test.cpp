// Default erase request and progress records, and the verification mode texts.
#include "erase/erase_job.h"

#include <gtest/gtest.h>

#include "report/report_data.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(EraseJobConfig, DefaultsAreASafeSimulationWithStampAndFiles) {
  const EraseJobConfig config;
  EXPECT_EQ(config.standard, EraseStandard::NistPurge);
  EXPECT_EQ(config.verifyMode, VerifyMode::Quick);
  EXPECT_EQ(config.executionMode, ExecutionMode::Simulation);
  EXPECT_EQ(config.postEraseState, PostEraseState::WriteStamp);
  EXPECT_EQ(config.logOutputDisabled, 0);
  EXPECT_TRUE(config.operatorName.empty());
  EXPECT_TRUE(config.organizationName.empty());
  EXPECT_TRUE(config.notes.empty());
  EXPECT_TRUE(config.outputFolder.empty());
  EXPECT_EQ(config.disk.safetyStatus, SafetyStatus::ProtectedSystemDisk);
  EXPECT_EQ(U8(config.disk.model), "Generic Physical Disk");
}

TEST(EraseProgressInfo, DefaultRecordIsEmpty) {
  const EraseProgressInfo progress;
  EXPECT_EQ(progress.phase, 0);
  EXPECT_EQ(progress.currentPass, 0);
  EXPECT_EQ(progress.totalPasses, 0);
  EXPECT_EQ(progress.overallPercent, 0);
  EXPECT_EQ(progress.passPercent, 0);
  EXPECT_EQ(progress.speedMBps, 0.0);
  EXPECT_TRUE(progress.statusText.empty());
}

TEST(VerifyMode, ComboTexts) {
  EXPECT_EQ(U8(VerifyModeLabel(VerifyMode::None)), "検証なし (Skip Verify)");
  EXPECT_EQ(U8(VerifyModeLabel(VerifyMode::Quick)), "クイック検証 (Quick Sample Verify)");
  EXPECT_EQ(U8(VerifyModeLabel(VerifyMode::Full)), "全領域検証 (Full Surface Verify)");
  EXPECT_EQ(VerifyModeLabel(static_cast<VerifyMode>(3)), L"");
}

TEST(ReportData, DefaultRecordCarriesDefaultRequestAndIncompleteStamp) {
  const ReportData report;
  EXPECT_TRUE(report.certificateId.empty());
  EXPECT_EQ(report.statusCode, 0);
  EXPECT_EQ(report.bytesWritten, 0u);
  EXPECT_EQ(report.elapsedSeconds, 0.0);
  EXPECT_EQ(report.config.verifyMode, VerifyMode::Quick);
  EXPECT_EQ(report.stamp.incomplete, 1);
  EXPECT_EQ(report.stamp.passesCompleted, 0);
  EXPECT_TRUE(report.stamp.hardware.manufacturer.empty());
}

}  // namespace
}  // namespace tvde
