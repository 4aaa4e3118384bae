// The default erase request is a safe simulation, and the verification mode texts.
#include "erase/erase_job.h"

#include <gtest/gtest.h>

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
  EXPECT_EQ(config.disk.safetyStatus, SafetyStatus::ProtectedSystemDisk);
}

TEST(VerifyMode, ComboTexts) {
  EXPECT_EQ(U8(VerifyModeLabel(VerifyMode::None)), "検証なし (Skip Verify)");
  EXPECT_EQ(U8(VerifyModeLabel(VerifyMode::Quick)), "クイック検証 (Quick Sample Verify)");
  EXPECT_EQ(U8(VerifyModeLabel(VerifyMode::Full)), "全領域検証 (Full Surface Verify)");
  EXPECT_EQ(VerifyModeLabel(static_cast<VerifyMode>(3)), L"");
}

}  // namespace
}  // namespace tvde
