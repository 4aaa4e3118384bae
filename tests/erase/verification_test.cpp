// Sampled verification on the fault-injecting device: sample placement, progress, content
// comparison, read failures, cancellation and tiny disks. The simulated one is the job's test.
#include "erase/verification.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_recorder.h"
#include "erase/disk_error_text.h"
#include "support/fault_device.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using ::testing::ElementsAre;

constexpr uint64_t kTenMiB = 10 * 1024 * 1024;
const PassSpec kZeroPass{1, PassKind::FixedByte, {0x00, 0, 0}, L"zero"};
const PassSpec kOnesPass{1, PassKind::FixedByte, {0xFF, 0, 0}, L"ones"};
const PassSpec kRandomPass{3, PassKind::Random, {}, L"random"};
const PassSpec kPatternPass{5, PassKind::ThreeBytePattern, {0x92, 0x49, 0x24}, L"pattern"};
const std::string kPassed = "PASSED (All Sampled Sectors Verified Clean)";
const std::string kMismatch = "FAILED (Pattern Mismatch Detected)";
const std::string kReadError = "FAILED (Sector Read Error)";

struct VerifyRun {
  int32_t status = 0;
  std::string verdict;
  EngineRecorder recorder;
};

VerifyRun Verify(FaultDevice* device, uint64_t size, const PassSpec* last,
                 VerifyMode mode = VerifyMode::Quick, uint32_t sector = 512, int32_t cancelAt = 0) {
  CancelFlag cancel{0};
  EraseJobConfig config = DiskConfig(size, sector);
  config.verifyMode = mode;
  VerifyRun run;
  std::wstring verdict;
  const auto progress = [&](const EraseProgressInfo& info) {
    run.recorder.progress.push_back(info);
    if (static_cast<int32_t>(run.recorder.progress.size()) == cancelAt) cancel.exchange(1);
  };
  run.status = VerifyErasure(device, config, last, cancel, progress, run.recorder.Log(), verdict);
  run.verdict = U8(verdict);
  return run;
}

TEST(Verification, SamplesSpreadEvenlyFromLba0TowardsTheLastWindowWithRisingProgress) {
  // 10 MiB of 512-byte sectors: 20,480 sectors, 128 per window, 20,352 to spread over.
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 255, 256).offset, 10379264u);
  EXPECT_EQ(SampleWindow(kTenMiB, 4096, 63, 64).offset, 10256384u);  // 16 sectors a window
  EXPECT_EQ(SampleWindow(kTenMiB, 0, 1, 64).offset, 318u * 512);     // 0 counts as 512

  auto device = FaultDevice::InMemory(kTenMiB, 512);
  const VerifyRun quick = Verify(device.get(), kTenMiB, &kZeroPass);
  EXPECT_EQ(quick.verdict, kPassed);
  EXPECT_EQ(quick.status, kStatusCompleted);
  ASSERT_EQ(device->readCalls, 64);
  EXPECT_EQ(device->events[1], "read 0 65536");
  EXPECT_EQ(device->events.back(), "read 10257408 65536");
  const auto overall = quick.recorder.Percents(&EraseProgressInfo::overallPercent);
  const auto pass = quick.recorder.Percents(&EraseProgressInfo::passPercent);
  EXPECT_TRUE(std::is_sorted(overall.begin(), overall.end()));
  EXPECT_EQ((std::vector<int32_t>{overall[12], overall[13], overall[63]}),
            (std::vector<int32_t>{95, 96, 99}));
  EXPECT_EQ((std::vector<int32_t>{pass[0], pass[31], pass[63]}),
            (std::vector<int32_t>{1, 50, 100}));
  EXPECT_THAT(quick.recorder.log,
              ElementsAre("[VERIFY] セクタ読み出しベリファイ検証を開始します...",
                          "[VERIFY] 物理セクタのベリファイ検証が正常に完了しました (PASSED)。"));

  auto ones = FaultDevice::InMemory(kTenMiB, 4096, 0xFF);
  const VerifyRun full = Verify(ones.get(), kTenMiB, &kOnesPass, VerifyMode::Full, 4096);
  EXPECT_EQ(full.verdict, kPassed);
  EXPECT_EQ(ones->readCalls, 256);
  EXPECT_EQ(full.recorder.Percents(&EraseProgressInfo::passPercent)[0], 0);  // 100 / 256

  // A 128 KiB sector is twice the window: each sample is one whole sector in a buffer of its
  // size (a 64 KiB one would take the second half of the read into its guard page), and the
  // second half is compared too.
  constexpr uint32_t kBig = 128 * 1024;
  auto big = FaultDevice::InMemory(64ull * kBig, 4096);
  EXPECT_EQ(Verify(big.get(), 64ull * kBig, &kZeroPass, VerifyMode::Quick, kBig).verdict, kPassed);
  EXPECT_EQ(big->events[1], "read 0 131072");
  EXPECT_EQ(big->events.back(), "read 8126464 131072");  // sector 62 = 63 x 63 / 64
  big->faults.flipOffset = 5 * kBig + 100000;
  EXPECT_EQ(Verify(big.get(), 64ull * kBig, &kZeroPass, VerifyMode::Quick, kBig).verdict,
            kMismatch);
}

TEST(Verification, FixedBytesAreComparedAndReadFailuresFound) {
  struct Case {
    const char* name;
    uint64_t deviceBytes;
    uint8_t fill;
    const PassSpec* last;
    void (*arm)(FaultPlan&);
    std::string verdict;
    int32_t reads;
  };
  // Sample 5 starts at LBA 1,590: its window's last byte is 814,080 + 65,535.
  const Case cases[] = {
      {"flipped byte in sample 5", kTenMiB, 0, &kZeroPass,
       [](FaultPlan& f) { f.flipOffset = 814080 + 65535; }, kMismatch, 6},
      {"flipped byte between windows", kTenMiB, 0, &kZeroPass,
       [](FaultPlan& f) { f.flipOffset = 814080 + 65536; }, kPassed, 64},
      {"read error at sample 10", kTenMiB, 0, &kZeroPass, [](FaultPlan& f) { f.failReadAt = 10; },
       kReadError, 10},
      {"short read at sample 10", kTenMiB, 0, &kRandomPass,
       [](FaultPlan& f) { f.shortReadAt = 10; }, kReadError, 10},
      // 1 MiB holds the windows of samples 0..6; the eighth read finds nothing.
      {"device smaller than the disk", 1024 * 1024, 0, &kZeroPass, nullptr, kReadError, 8},
      {"other bytes than the last pass", kTenMiB, 0x5A, &kOnesPass, nullptr, kMismatch, 1},
      {"random data is only read back", kTenMiB, 0x5A, &kRandomPass, nullptr, kPassed, 64},
      {"patterns are only read back", kTenMiB, 0x5A, &kPatternPass, nullptr, kPassed, 64},
      {"an empty plan is only read back", kTenMiB, 0x5A, nullptr, nullptr, kPassed, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = FaultDevice::InMemory(c.deviceBytes, 512, c.fill);
    if (c.arm != nullptr) c.arm(device->faults);
    const VerifyRun run = Verify(device.get(), kTenMiB, c.last);
    EXPECT_EQ(run.verdict, c.verdict);
    EXPECT_EQ(run.status, c.verdict == kPassed ? kStatusCompleted : kStatusFailed);
    EXPECT_EQ(device->readCalls, c.reads);
    if (c.verdict != kReadError) {
      EXPECT_EQ(run.recorder.log.size(), c.verdict == kPassed ? 2u : 1u);
      continue;
    }
    // A failed read-back names where it stopped and why.
    const uint64_t offset = SampleWindow(kTenMiB, 512, c.reads - 1, 64).offset;
    const std::string cause = c.arm == nullptr || device->faults.shortReadAt != 0
                                  ? " バイトしか読み出せませんでした"
                                  : WideToUtf8(DescribeDiskError(5));
    ASSERT_EQ(run.recorder.log.size(), 2u);
    EXPECT_EQ(
        run.recorder.log[1].rfind("[ERROR] ベリファイ検証の読み出しに失敗しました (オフセット " +
                                      std::to_string(offset) + " バイト): ",
                                  0),
        0u);
    EXPECT_TRUE(run.recorder.log[1].ends_with(cause)) << run.recorder.log[1];
  }
}

TEST(Verification, CancelSkipAndTinyDisks) {
  auto device = FaultDevice::InMemory(kTenMiB, 512, 0x77);
  const VerifyRun cancelled =
      Verify(device.get(), kTenMiB, &kRandomPass, VerifyMode::Quick, 512, 3);
  EXPECT_EQ(cancelled.status, kStatusCancelled);
  EXPECT_EQ(cancelled.verdict, "CANCELLED");
  EXPECT_EQ(device->readCalls, 3);
  device->events.clear();
  const VerifyRun skipped = Verify(device.get(), kTenMiB, &kZeroPass, VerifyMode::None);
  EXPECT_EQ(skipped.status, kStatusCompleted);
  EXPECT_EQ(skipped.verdict, "SKIPPED (検証なし設定)");
  EXPECT_TRUE(device->events.empty() && skipped.recorder.log.empty() &&
              skipped.recorder.progress.empty());

  // One whole window, and 16 sectors with a 100-byte tail: read whole from LBA 0, never past
  // the last whole sector; nothing to read is never clean.
  for (const auto& [size, read] : {std::pair{65536u, 65536u}, std::pair{8192u + 100, 8192u}}) {
    auto small = FaultDevice::InMemory(size, 512);
    EXPECT_EQ(Verify(small.get(), size, &kZeroPass).verdict, kPassed);
    EXPECT_EQ(small->CountEvents("read 0 " + std::to_string(read)), 64u) << size;
    small->faults.flipOffset = read - 1;
    EXPECT_EQ(Verify(small.get(), size, &kZeroPass).verdict, kMismatch);
  }
  auto tiny = FaultDevice::InMemory(300, 512);
  EXPECT_EQ(Verify(tiny.get(), 300, &kZeroPass).verdict, kReadError);
  EXPECT_EQ(Verify(nullptr, kTenMiB, &kZeroPass).verdict, kReadError);
}

}  // namespace
}  // namespace tvde
