// Simulated passes and simulated verification: paced progress records and their texts.
// These really sleep (30 ms and 25 ms steps), so they are kept few.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_recorder.h"
#include "erase/overwrite_pass.h"
#include "erase/verification.h"

namespace tvde {
namespace {

using ::testing::ElementsAre;
using testing::EngineRecorder;

TEST(SimulationPass, ReportsTwentyFiveStepsOfFourPercentAtTheSimulatedSpeeds) {
  EraseJobConfig config;
  config.disk.sizeBytes = 1ull << 40;  // the size plays no part
  const PassSpec pass{2, PassKind::FixedByte, {0xFF, 0, 0}, L"Pass 2/4: Ones"};
  EngineRecorder recorder;
  CancelFlag cancel{0};
  ASSERT_EQ(RunSimulationPass(config, pass, 4, cancel, recorder.Progress(), recorder.Log()),
            kStatusCompleted);

  ASSERT_EQ(recorder.progress.size(), 25u);
  const std::vector<double> firstSpeeds = {1285.5, 1321.0, 1356.5, 1392.0,
                                           1427.5, 1463.0, 1250.0, 1285.5};
  for (size_t i = 0; i < recorder.progress.size(); ++i) {
    const EraseProgressInfo& p = recorder.progress[i];
    EXPECT_EQ(p.passPercent, 4 * static_cast<int32_t>(i + 1));
    EXPECT_EQ(p.phase, 1);
    EXPECT_EQ(p.currentPass, 2);
    EXPECT_EQ(p.totalPasses, 4);
    EXPECT_EQ(testing::U8(p.statusText), "[安全シミュレーション] Pass 2/4: Ones");
    if (i < firstSpeeds.size()) {
      EXPECT_DOUBLE_EQ(p.speedMBps, firstSpeeds[i]) << i;
    }
  }
  // (100 x 2 - 100 + 4 x step) / 4
  EXPECT_EQ(recorder.progress[0].overallPercent, 26);
  EXPECT_EQ(recorder.progress[1].overallPercent, 27);
  EXPECT_EQ(recorder.progress[2].overallPercent, 28);
  EXPECT_EQ(recorder.progress[24].overallPercent, 50);
  EXPECT_DOUBLE_EQ(recorder.progress[24].speedMBps, 1392.0);  // 25 mod 7 = 4
  EXPECT_THAT(recorder.log, ElementsAre("[SIMULATION] 開始: Pass 2/4: Ones",
                                        "[SIMULATION] 完了: Pass 2/4: Ones"));
}

TEST(SimulationPass, CancelStopsWithinOneStepWithoutTheEndLine) {
  const PassSpec pass{1, PassKind::Random, {}, L"Pass 1/1: Random"};
  EngineRecorder recorder;
  CancelFlag cancel{0};
  auto progress = [&](const EraseProgressInfo& info) {
    recorder.progress.push_back(info);
    if (info.passPercent == 12) cancel.exchange(1);
  };
  EXPECT_EQ(RunSimulationPass({}, pass, 1, cancel, progress, recorder.Log()), kStatusCancelled);
  EXPECT_THAT(recorder.PassPercents(), ElementsAre(4, 8, 12));
  EXPECT_THAT(recorder.log, ElementsAre("[SIMULATION] 開始: Pass 1/1: Random"));
}

TEST(SimulatedVerification, TenStepsFrom91To100WithoutTouchingAnyDisk) {
  EraseJobConfig config;  // simulation, quick verification
  const PassSpec last{1, PassKind::FixedByte, {0, 0, 0}, L"x"};
  EngineRecorder recorder;
  CancelFlag cancel{0};
  std::wstring verdict;
  ASSERT_EQ(
      VerifyErasure(nullptr, config, &last, cancel, recorder.Progress(), recorder.Log(), verdict),
      kStatusCompleted);
  EXPECT_EQ(testing::U8(verdict), "PASSED (Simulation 100% Verified)");
  EXPECT_THAT(recorder.OverallPercents(), ElementsAre(91, 92, 93, 94, 95, 96, 97, 98, 99, 100));
  EXPECT_THAT(recorder.PassPercents(), ElementsAre(10, 20, 30, 40, 50, 60, 70, 80, 90, 100));
  for (const EraseProgressInfo& p : recorder.progress) {
    EXPECT_EQ(p.phase, 2);
    EXPECT_EQ(p.currentPass, 0);
    EXPECT_EQ(p.totalPasses, 0);
    EXPECT_DOUBLE_EQ(p.speedMBps, 1420.0);
    EXPECT_EQ(testing::U8(p.statusText), "[ベリファイ検証中] セクタ整合性チェック...");
  }
  EXPECT_THAT(recorder.log, ElementsAre("[VERIFY] セクタ読み出しベリファイ検証を開始します...",
                                        "[VERIFY] ベリファイ検証が正常に完了しました (PASSED)。"));
}

TEST(SimulatedVerification, CancelGivesCancelled) {
  EraseJobConfig config;
  EngineRecorder recorder;
  CancelFlag cancel{1};
  std::wstring verdict;
  EXPECT_EQ(
      VerifyErasure(nullptr, config, nullptr, cancel, recorder.Progress(), recorder.Log(), verdict),
      kStatusCancelled);
  EXPECT_EQ(testing::U8(verdict), "CANCELLED");
  EXPECT_TRUE(recorder.progress.empty());
  EXPECT_EQ(recorder.log.size(), 1u);  // only the start line
}

}  // namespace
}  // namespace tvde
