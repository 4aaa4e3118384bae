// Read-back verification of what the real passes wrote (in memory and on an image file): a wrong
// byte of any pass wherever it lies, read failures, cancel, the wiped areas, samples, tiny disks
// and the scope the facts give. The simulated one is the job's test.
#include "erase/verification.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_recorder.h"
#include "erase/chunk_pipeline.h"
#include "erase/device_preparation.h"
#include "erase/disk_error_text.h"
#include "erase/overwrite_pass.h"
#include "erase/verification_scope.h"
#include "support/fault_device.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using ::testing::ElementsAre;

constexpr uint64_t kMiB = 1024 * 1024, kTenMiB = 10 * kMiB;
const PassSpec kZeroPass{1, PassKind::FixedByte, {0x00, 0, 0}, L"zero"};
const PassSpec kOnesPass{2, PassKind::FixedByte, {0xFF, 0, 0}, L"ones"};
const PassSpec kRandomPass{3, PassKind::Random, {}, L"random"};
const PassSpec kPatternPass{5, PassKind::ThreeBytePattern, {0x92, 0x49, 0x24}, L"pattern"};
const std::string kPassed = "PASSED (All Sampled Sectors Verified Clean)";
const std::string kMismatch = "FAILED (Pattern Mismatch Detected)";
const std::string kReadError = "FAILED (Sector Read Error)";
// Sample 5 of 64 on 10 MiB starts at LBA 1,590; the byte after its window is in no window.
constexpr uint64_t kInSample5 = 814080 + 65535, kBetweenSamples = 814080 + 65536;

// A job secret of fixed bytes (`seed`), so that writer and reader share the random stream.
RandomPassSecret Secret(uint8_t seed = 0x5C) {
  return RandomPassSecret::Drawn([seed](std::span<uint8_t> out) {
    std::fill(out.begin(), out.end(), seed);
    return true;
  });
}

// A device holding what the real pass wrote over `size` bytes, with its counters cleared.
std::unique_ptr<FaultDevice> Written(const PassSpec& pass, uint64_t size, const TempDir* file,
                                     uint8_t seed = 0x5C) {
  const DeviceOpenOptions image{.access = DeviceAccess::ReadWrite,
                                .creation = DeviceCreation::CreateAlways};
  auto device = file == nullptr ? FaultDevice::InMemory(size, 512, 0xEE)
                                : std::make_unique<FaultDevice>(
                                      OpenDevice(file->File("disk.img"), image).device, 512);
  CancelFlag cancel{0};
  EXPECT_EQ(RunHardwarePass(*device, DiskConfig(size), pass, 5, cancel, {}, {},
                            Secret(seed).StreamFor(pass.passNumber)),
            kStatusCompleted);
  device->events.clear();
  device->readCalls = 0;
  return device;
}

struct VerifyRun {
  int32_t status = 0;
  std::string verdict, scope;
  ReadBackFacts facts;
  EngineRecorder recorder;
};

VerifyRun Verify(FaultDevice* device, uint64_t size, const PassSpec* last,
                 VerifyMode mode = VerifyMode::Quick, std::vector<ByteRange> zeroed = {},
                 uint32_t sector = 512, int32_t cancelAt = 0) {
  CancelFlag cancel{0};
  EraseJobConfig config = DiskConfig(size, sector);
  config.verifyMode = mode;
  VerifyRun run;
  std::wstring verdict;
  const auto progress = [&](const EraseProgressInfo& info) {
    run.recorder.progress.push_back(info);
    if (static_cast<int32_t>(run.recorder.progress.size()) == cancelAt) cancel.exchange(1);
  };
  const ExpectedContent expected{last, last ? Secret().StreamFor(last->passNumber) : PassStream(),
                                 std::move(zeroed)};
  run.status = VerifyErasure(device, config, expected, cancel, progress, run.recorder.Log(),
                             verdict, &run.facts);
  run.verdict = U8(verdict);
  run.scope = U8(VerificationScopeText({run.facts}, false));
  return run;
}

TEST(Verification, AWrongByteOfAnyPassIsCaughtWhereverItLies) {
  struct Case {
    const char* name;
    const PassSpec* pass;
    uint64_t size;
    std::optional<uint64_t> flip;
    VerifyMode mode;
    std::string verdict;
    bool imageFile = false;
  };
  // 10 MiB is two whole 4 MiB chunks and a short one; 10 MiB + 512 ends in a chunk of one sector.
  const Case cases[] = {
      {"zero, between samples", &kZeroPass, kTenMiB, kBetweenSamples, VerifyMode::Full, kMismatch},
      {"pattern, last byte", &kPatternPass, kTenMiB, kTenMiB - 1, VerifyMode::EveryPass, kMismatch},
      {"random, last byte", &kRandomPass, kTenMiB + 512, kTenMiB + 511, VerifyMode::Full,
       kMismatch},
      {"random image file, last byte", &kRandomPass, kTenMiB + 512, kTenMiB + 511, VerifyMode::Full,
       kMismatch, true},
      {"random image file, clean", &kRandomPass, kTenMiB + 512, std::nullopt, VerifyMode::Full,
       kPassed, true},
      // Quick verification compares random data too, but only inside its windows.
      {"random, quick, in a window", &kRandomPass, kTenMiB, kInSample5, VerifyMode::Quick,
       kMismatch},
      {"random, quick, between windows", &kRandomPass, kTenMiB, kBetweenSamples, VerifyMode::Quick,
       kPassed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    auto device = Written(*c.pass, c.size, c.imageFile ? &dir : nullptr);
    device->faults.flipOffset = c.flip;
    const VerifyRun run = Verify(device.get(), c.size, c.pass, c.mode);
    EXPECT_EQ(run.verdict, c.verdict);
    EXPECT_EQ(run.status, c.verdict == kPassed ? kStatusCompleted : kStatusFailed);
    if (c.verdict == kPassed) continue;
    ASSERT_EQ(run.recorder.log.size(), 2u);
    EXPECT_TRUE(run.recorder.log[1].starts_with(
        "[ERROR] ベリファイ検証で内容の不一致を検出しました (オフセット " +
        std::to_string(*c.flip) + " バイト, 期待値 0x"));
    EXPECT_TRUE(run.recorder.log[1].ends_with(", 比較対象: " + U8(c.pass->name) + ")"));
  }
  // Every whole sector, in whole chunks and a short last one, with rising percent and a speed.
  auto device = Written(kRandomPass, kTenMiB + 700, nullptr);
  const VerifyRun full = Verify(device.get(), kTenMiB + 700, &kRandomPass, VerifyMode::Full);
  EXPECT_EQ(device->CountEvents("read "), 3u);
  EXPECT_EQ(device->events.back(), "read 8388608 2097664");
  EXPECT_EQ(full.recorder.Percents(&EraseProgressInfo::passPercent),
            (std::vector<int32_t>{39, 79, 100}));
  EXPECT_EQ(full.scope, "full surface, 20,481 sectors, compared with pass 3 (random stream)");
  // Every pass: the passes read back whole, then the one that stopped the job.
  ReadBackFacts stopped = full.facts;
  stopped.sectorsRead = 4096;
  stopped.complete = false;
  EXPECT_EQ(U8(VerificationScopeText({full.facts, full.facts, stopped}, true)),
            "every pass: full surface, 20,481 sectors each, compared with pass 3 (random stream), "
            "pass 3 (random stream); pass 3 (random stream): full surface, 4,096 of 20,481 "
            "sectors (stopped)");
  // Stale data (another job's stream, or bytes of another pass) is no match.
  auto stale = Written(kRandomPass, 4 * kMiB, nullptr, 0x11);
  EXPECT_EQ(Verify(stale.get(), 4 * kMiB, &kRandomPass, VerifyMode::Quick).verdict, kMismatch);
  EXPECT_EQ(Verify(stale.get(), 4 * kMiB, &kOnesPass, VerifyMode::Full).verdict, kMismatch);
}

TEST(Verification, ReadFailuresAndCancelStopWithinAChunkAndTheScopeSaysHowFarItGot) {
  struct Case {
    const char* name;
    uint64_t size, deviceBytes;
    int32_t failReadAt, shortReadAt, cancelAt, maxReads;
    std::string verdict, logEnd, scope;
  };
  const std::string shortRead =
      "(オフセット 8388608 バイト): 2097152 バイト中 1048576 バイトしか読み出せませんでした";
  // A cancel is seen after the chunk in hand; the reads ahead of it stop with the one under way.
  const int32_t afterCancel = 1 + static_cast<int32_t>(ChunkPipeline::kSlots);
  const Case cases[] = {
      {"read error mid-way", kTenMiB, kTenMiB, 2, 0, 0, 2, kReadError,
       "(オフセット 4194304 バイト): " + U8(DescribeDiskError(5)),
       "full surface, 8,192 of 20,480 sectors (stopped), compared with pass 2 (0xFF)"},
      // The device ends before the disk does, or a read comes back short: the same for both.
      {"device shorter than the disk", kTenMiB, 9 * kMiB, 0, 0, 0, 3, kReadError, shortRead,
       "full surface, 16,384 of 20,480 sectors (stopped), compared with pass 2 (0xFF)"},
      {"short last read", kTenMiB, kTenMiB, 0, 3, 0, 3, kReadError, shortRead,
       "full surface, 16,384 of 20,480 sectors (stopped), compared with pass 2 (0xFF)"},
      {"cancel after the first chunk", 64 * kMiB, 64 * kMiB, 0, 0, 1, afterCancel, "CANCELLED", "",
       "full surface, 8,192 of 131,072 sectors (stopped), compared with pass 2 (0xFF)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = FaultDevice::InMemory(c.deviceBytes, 512, 0xFF);
    device->faults.failReadAt = c.failReadAt;
    device->faults.shortReadAt = c.shortReadAt;
    const VerifyRun run =
        Verify(device.get(), c.size, &kOnesPass, VerifyMode::Full, {}, 512, c.cancelAt);
    EXPECT_EQ(run.verdict, c.verdict);
    EXPECT_EQ(run.status, c.cancelAt > 0 ? kStatusCancelled : kStatusFailed);
    EXPECT_TRUE(c.logEnd.empty() || run.recorder.log.back().ends_with(c.logEnd))
        << run.recorder.log.back();
    EXPECT_TRUE(c.scope.empty() || run.scope == c.scope) << run.scope;
    EXPECT_LE(device->readCalls, c.maxReads);
  }

  // After the wipe, zeroes are expected in the areas it zeroed and the pass data elsewhere.
  auto device = Written(kRandomPass, 4 * kMiB + 4096, nullptr);
  const std::vector<ByteRange> zeroed = WipePartitionTables(*device, 4 * kMiB + 4096, 512, {});
  for (const VerifyMode mode : {VerifyMode::Full, VerifyMode::Quick}) {
    const VerifyRun run = Verify(device.get(), 4 * kMiB + 4096, &kRandomPass, mode, zeroed);
    EXPECT_EQ(run.verdict, kPassed);
    EXPECT_TRUE(run.facts.zeroedCompared);
  }
  EXPECT_EQ(Verify(device.get(), 4 * kMiB + 4096, &kRandomPass, VerifyMode::Full, {}).verdict,
            kMismatch);
}

TEST(Verification, SamplesSpreadEvenlyFromLba0WithRisingProgressAndTinyDisksAreReadWhole) {
  // 10 MiB of 512-byte sectors: 20,480 sectors, 128 per window, 20,352 to spread over.
  EXPECT_EQ(SampleWindow(kTenMiB, 512, 63, 64).offset, 10257408u);
  EXPECT_EQ(SampleWindow(kTenMiB, 0, 1, 64).offset, 318u * 512);  // 0 counts as 512

  auto device = FaultDevice::InMemory(kTenMiB, 512);
  const VerifyRun quick = Verify(device.get(), kTenMiB, &kZeroPass);
  EXPECT_EQ(quick.verdict, kPassed);
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
  EXPECT_EQ(quick.scope,
            "64 sampled windows, 8,192 of 20,480 sectors, compared with pass 1 (0x00)");
  // Bytes no pass wrote are only read back, and the scope says so.
  EXPECT_EQ(Verify(device.get(), kTenMiB, nullptr).scope,
            "64 sampled windows, 8,192 of 20,480 sectors, read back only (no pass written to "
            "compare with)");

  // A 128 KiB sector is twice the window: each sample is one whole sector in a buffer of its
  // size, and its second half is compared too.
  constexpr uint32_t kBig = 128 * 1024;
  auto big = FaultDevice::InMemory(64ull * kBig, 4096);
  EXPECT_EQ(Verify(big.get(), 64ull * kBig, &kZeroPass, VerifyMode::Quick, {}, kBig).verdict,
            kPassed);
  EXPECT_EQ(big->events.back(), "read 8126464 131072");  // sector 62 = 63 x 63 / 64
  big->faults.flipOffset = 5 * kBig + 100000;
  EXPECT_EQ(Verify(big.get(), 64ull * kBig, &kZeroPass, VerifyMode::Quick, {}, kBig).verdict,
            kMismatch);

  device->events.clear();
  const VerifyRun skipped = Verify(device.get(), kTenMiB, &kZeroPass, VerifyMode::None);
  EXPECT_EQ(skipped.status, kStatusCompleted);
  EXPECT_EQ(skipped.verdict, "SKIPPED (検証なし設定)");
  EXPECT_TRUE(device->events.empty() && skipped.recorder.log.empty() &&
              skipped.recorder.progress.empty());

  // One whole window, and 16 sectors with a 100-byte tail: read whole from LBA 0, never past
  // the last whole sector, and counted once; nothing to read is never clean.
  for (const auto& [size, read] : {std::pair{65536u, 65536u}, std::pair{8192u + 100, 8192u}}) {
    auto small = FaultDevice::InMemory(size, 512);
    const VerifyRun run = Verify(small.get(), size, &kZeroPass);
    EXPECT_EQ(run.verdict, kPassed);
    EXPECT_EQ(small->CountEvents("read 0 " + std::to_string(read)), 64u) << size;
    EXPECT_EQ(run.facts.sectorsRead, read / 512);
    small->faults.flipOffset = read - 1;
    EXPECT_EQ(Verify(small.get(), size, &kZeroPass, VerifyMode::Full).verdict, kMismatch);
  }
  auto tiny = FaultDevice::InMemory(300, 512);
  for (const VerifyMode mode : {VerifyMode::Quick, VerifyMode::Full})
    EXPECT_EQ(Verify(tiny.get(), 300, &kZeroPass, mode).verdict, kReadError);
  EXPECT_EQ(Verify(nullptr, kTenMiB, &kZeroPass).verdict, kReadError);
}

}  // namespace
}  // namespace tvde
