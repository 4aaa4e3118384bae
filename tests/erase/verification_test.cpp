// Real sampled verification on the fault-injecting device: sample placement, progress,
// content comparison, read failures, cancellation and the small-disk cases.
#include "erase/verification.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_recorder.h"
#include "support/fault_device.h"

namespace tvde {
namespace {

using testing::DiskConfig;
using ::testing::Each;
using ::testing::ElementsAre;
using testing::EngineRecorder;
using testing::FaultDevice;
using testing::U8;

constexpr uint64_t kTenMiB = 10 * 1024 * 1024;
const PassSpec kZeroPass{1, PassKind::FixedByte, {0x00, 0, 0}, L"zero"};
const PassSpec kOnesPass{1, PassKind::FixedByte, {0xFF, 0, 0}, L"ones"};
const PassSpec kRandomPass{3, PassKind::Random, {}, L"random"};
const PassSpec kPatternPass{5, PassKind::ThreeBytePattern, {0x92, 0x49, 0x24}, L"pattern"};

struct VerifyRun {
  int32_t status = 0;
  std::string verdict;
  EngineRecorder recorder;
};

VerifyRun Verify(FaultDevice* device, uint64_t size, const PassSpec* last,
                 VerifyMode mode = VerifyMode::Quick, uint32_t sector = 512,
                 const CancelFlag* cancel = nullptr) {
  static CancelFlag idle{0};
  EraseJobConfig config = DiskConfig(size, sector);
  config.verifyMode = mode;
  VerifyRun run;
  std::wstring verdict;
  run.status = VerifyErasure(device, config, last, cancel ? *cancel : idle, run.recorder.Progress(),
                             run.recorder.Log(), verdict);
  run.verdict = U8(verdict);
  return run;
}

TEST(SampleWindow, SpacesSamplesEvenlyFromLba0TowardsTheLastWindow) {
  // 10 MiB, 512-byte sectors: 20,480 sectors, 128 per window, 20,352 to spread over.
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 0, 64).offset, 0u);
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 1, 64).offset, 318u * 512);
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 2, 64).offset, 636u * 512);
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 63, 64).offset, 10257408u);
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 1, 256).offset, 79u * 512);
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 255, 256).offset, 10379264u);
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 63, 64).bytes, 65536u);
  // 4096-byte sectors: 2,560 sectors, 16 per window.
  EXPECT_EQ(SampleWindow(kTenMiB, 4096, 1, 64).offset, 39u * 4096);
  EXPECT_EQ(SampleWindow(kTenMiB, 4096, 63, 64).offset, 10256384u);
  EXPECT_EQ(SampleWindow(kTenMiB, 0, 1, 64).offset, 318u * 512);  // 0 counts as 512
}

TEST(Verification, QuickModeReads64WindowsAndReportsTheSpecifiedPercentages) {
  auto device = FaultDevice::InMemory(kTenMiB, 512);
  const VerifyRun run = Verify(device.get(), kTenMiB, &kZeroPass);
  EXPECT_EQ(run.status, kStatusCompleted);
  EXPECT_EQ(run.verdict, "PASSED (All Sampled Sectors Verified Clean)");
  ASSERT_EQ(device->readCalls, 64);
  EXPECT_EQ(device->readOffsets[63], SampleWindow(kTenMiB, 512, 63, 64).offset);
  EXPECT_EQ(device->events[0], "seek 0");
  EXPECT_EQ(device->events[1], "read 0 65536");

  const auto overall = run.recorder.OverallPercents();
  ASSERT_EQ(overall.size(), 64u);
  EXPECT_THAT(std::vector<int32_t>(overall.begin(), overall.begin() + 13), Each(95));
  EXPECT_EQ(overall[13], 96);
  EXPECT_EQ(overall.back(), 99);
  const auto percent = run.recorder.PassPercents();
  EXPECT_EQ(percent.front(), 1);
  EXPECT_EQ(percent[31], 50);
  EXPECT_EQ(percent.back(), 100);
  for (const EraseProgressInfo& p : run.recorder.progress) {
    EXPECT_EQ(p.phase, 2);
    EXPECT_EQ(p.currentPass, 0);
    EXPECT_EQ(p.totalPasses, 0);
    EXPECT_EQ(p.speedMBps, 0.0);
    EXPECT_EQ(U8(p.statusText), "ベリファイ検証中 (セクタリードバック確認)...");
  }
  EXPECT_THAT(run.recorder.log,
              ElementsAre("[VERIFY] セクタ読み出しベリファイ検証を開始します...",
                          "[VERIFY] 物理セクタのベリファイ検証が正常に完了しました (PASSED)。"));
}

TEST(Verification, FullModeReads256Windows) {
  auto device = FaultDevice::InMemory(kTenMiB, 4096, 0xFF);
  const VerifyRun run = Verify(device.get(), kTenMiB, &kOnesPass, VerifyMode::Full, 4096);
  EXPECT_EQ(run.status, kStatusCompleted);
  EXPECT_EQ(device->readCalls, 256);
  EXPECT_EQ(run.recorder.progress.size(), 256u);
  EXPECT_EQ(run.recorder.OverallPercents().back(), 99);
  EXPECT_EQ(run.recorder.PassPercents().front(), 0);  // (100 x 0 + 100) / 256
}

TEST(Verification, SectorsLargerThanTheWindowAreReadWholeIntoABufferOfTheirSize) {
  // 128 KiB sectors: each sample is one whole sector, twice the 64 KiB window. A buffer of 64
  // KiB would take the second half of every read past its end (into the guard page).
  constexpr uint32_t kSector = 128 * 1024;
  constexpr uint64_t kSize = 64ull * kSector;
  // The device asks for 4 KiB-aligned buffers, as page-aligned memory gives.
  auto device = FaultDevice::InMemory(kSize, 4096, 0x00);
  const VerifyRun run = Verify(device.get(), kSize, &kZeroPass, VerifyMode::Quick, kSector);
  EXPECT_EQ(run.verdict, "PASSED (All Sampled Sectors Verified Clean)");
  ASSERT_EQ(device->readCalls, 64);
  EXPECT_EQ(device->events[1], "read 0 131072");
  EXPECT_EQ(device->readOffsets[63], 62u * kSector);  // (64 - 1) x 63 / 64

  // The second half of a sector is compared too.
  auto flipped = FaultDevice::InMemory(kSize, 4096, 0x00);
  flipped->faults.flipOffset = 5 * kSector + 100000;
  EXPECT_EQ(Verify(flipped.get(), kSize, &kZeroPass, VerifyMode::Quick, kSector).verdict,
            "FAILED (Pattern Mismatch Detected)");
}

TEST(Verification, OneFlippedByteInASampledWindowIsAMismatch) {
  // Sample 5 starts at LBA 1,590; its window's last byte is 814,080 + 65,535.
  auto device = FaultDevice::InMemory(kTenMiB, 512);
  device->faults.flipOffset = 814080 + 65535;
  const VerifyRun run = Verify(device.get(), kTenMiB, &kZeroPass);
  EXPECT_EQ(run.status, kStatusFailed);
  EXPECT_EQ(run.verdict, "FAILED (Pattern Mismatch Detected)");
  EXPECT_EQ(device->readCalls, 6);
  EXPECT_EQ(run.recorder.progress.size(), 5u);
  EXPECT_EQ(run.recorder.log.size(), 1u);  // no PASSED line

  // One byte later lies between two windows: sampling does not see it.
  auto outside = FaultDevice::InMemory(kTenMiB, 512);
  outside->faults.flipOffset = 814080 + 65536;
  EXPECT_EQ(Verify(outside.get(), kTenMiB, &kZeroPass).status, kStatusCompleted);
}

TEST(Verification, OnlyFixedBytePassesAreComparedOthersAreReadBack) {
  auto device = FaultDevice::InMemory(kTenMiB, 512, 0x5A);
  EXPECT_EQ(Verify(device.get(), kTenMiB, &kRandomPass).status, kStatusCompleted);
  EXPECT_EQ(Verify(device.get(), kTenMiB, &kPatternPass).status, kStatusCompleted);
  EXPECT_EQ(Verify(device.get(), kTenMiB, nullptr).status, kStatusCompleted);  // empty plan
  EXPECT_EQ(Verify(device.get(), kTenMiB, &kZeroPass).verdict,
            "FAILED (Pattern Mismatch Detected)");
  EXPECT_EQ(Verify(device.get(), kTenMiB, &kOnesPass).verdict,
            "FAILED (Pattern Mismatch Detected)");
  EXPECT_EQ(device->readCalls, 3 * 64 + 2);
}

TEST(Verification, FailingOrShortReadAtSampleIIsASectorReadError) {
  for (const bool shortRead : {false, true}) {
    SCOPED_TRACE(shortRead);
    auto device = FaultDevice::InMemory(kTenMiB, 512);
    (shortRead ? device->faults.shortReadAt : device->faults.failReadAt) = 10;
    const VerifyRun run = Verify(device.get(), kTenMiB, &kRandomPass);
    EXPECT_EQ(run.status, kStatusFailed);
    EXPECT_EQ(run.verdict, "FAILED (Sector Read Error)");
    EXPECT_EQ(device->readCalls, 10);
    EXPECT_EQ(run.recorder.progress.size(), 9u);
  }
}

TEST(Verification, ReadsPastTheDeviceEndAreSectorReadErrors) {
  // The device is smaller than the configured size: the far samples read nothing.
  auto device = FaultDevice::InMemory(1024 * 1024, 512);
  const VerifyRun run = Verify(device.get(), kTenMiB, &kZeroPass);
  EXPECT_EQ(run.verdict, "FAILED (Sector Read Error)");
  EXPECT_LT(device->readCalls, 64);
}

TEST(Verification, CancelBetweenSamplesGivesCancelled) {
  auto device = FaultDevice::InMemory(kTenMiB, 512);
  CancelFlag cancel{0};
  EraseJobConfig config = DiskConfig(kTenMiB);
  std::wstring verdict;
  int32_t seen = 0;
  auto progress = [&](const EraseProgressInfo&) {
    if (++seen == 3) cancel.exchange(1);
  };
  EXPECT_EQ(VerifyErasure(device.get(), config, &kZeroPass, cancel, progress, {}, verdict),
            kStatusCancelled);
  EXPECT_EQ(U8(verdict), "CANCELLED");
  EXPECT_EQ(device->readCalls, 3);
}

TEST(Verification, SkipModeNeverReadsOrLogs) {
  auto device = FaultDevice::InMemory(kTenMiB, 512, 0x77);
  const VerifyRun run = Verify(device.get(), kTenMiB, &kZeroPass, VerifyMode::None);
  EXPECT_EQ(run.status, kStatusCompleted);
  EXPECT_EQ(run.verdict, "SKIPPED (検証なし設定)");
  EXPECT_TRUE(device->events.empty());
  EXPECT_TRUE(run.recorder.log.empty());
  EXPECT_TRUE(run.recorder.progress.empty());
}

TEST(Verification, DisksOfAtMostOneWindowAreReadWholeAtLba0NeverPastTheirEnd) {
  // One whole window, and 16 sectors with a 100-byte tail that is never read.
  for (const auto& [size, read] : {std::pair{65536u, 65536u}, std::pair{8192u + 100, 8192u}}) {
    SCOPED_TRACE(size);
    auto device = FaultDevice::InMemory(size, 512);
    EXPECT_EQ(Verify(device.get(), size, &kZeroPass).status, kStatusCompleted);
    ASSERT_EQ(device->readCalls, 64);
    EXPECT_THAT(device->readOffsets, Each(0u));
    EXPECT_EQ(device->CountEvents("read 0 " + std::to_string(read)), 64u);
    device->faults.flipOffset = read - 1;
    EXPECT_EQ(Verify(device.get(), size, &kZeroPass).verdict, "FAILED (Pattern Mismatch Detected)");
  }
}

TEST(Verification, NothingToReadIsNeverReportedClean) {
  auto empty = FaultDevice::InMemory(0, 512);
  EXPECT_EQ(Verify(empty.get(), 0, &kZeroPass).verdict, "FAILED (Sector Read Error)");
  auto tiny = FaultDevice::InMemory(300, 512);
  EXPECT_EQ(Verify(tiny.get(), 300, &kZeroPass).verdict, "FAILED (Sector Read Error)");
  EXPECT_EQ(Verify(nullptr, kTenMiB, &kZeroPass).verdict, "FAILED (Sector Read Error)");
}

}  // namespace
}  // namespace tvde
