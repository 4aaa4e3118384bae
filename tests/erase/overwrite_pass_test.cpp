// Real overwrite passes on the fault-injecting device: chunking, the tail rule, progress,
// cancellation, write errors and the pass contents.
#include "erase/overwrite_pass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "engine_recorder.h"
#include "support/fault_device.h"

namespace tvde {
namespace {

using testing::DiskConfig;
using ::testing::ElementsAre;
using testing::EngineRecorder;
using testing::FaultDevice;
using testing::FaultPlan;

constexpr uint64_t kMiB = 1024 * 1024;
constexpr uint64_t kChunk = 4 * kMiB;

PassSpec Fixed(uint8_t value, int32_t number = 1) {
  return {number, PassKind::FixedByte, {value, 0, 0}, L"Pass 1/1: Zero Fill (0x00)"};
}

PassSpec Pattern(uint8_t a, uint8_t b, uint8_t c) {
  return {5, PassKind::ThreeBytePattern, {a, b, c}, L"Pass 5/35: Gutmann MFM/RLL Pattern"};
}

PassSpec RandomPass() {
  return {2, PassKind::Random, {}, L"Pass 2/3: Random"};
}

struct PassRun {
  int32_t status = 0;
  EngineRecorder recorder;
};

void RunPass(PassRun& run, FaultDevice& device, uint64_t size, const PassSpec& pass,
             int32_t totalPasses = 1, uint32_t sector = 512, const CancelFlag* cancel = nullptr,
             const RandomFill& fill = FillRandom) {
  static CancelFlag idle{0};
  run.status =
      RunHardwarePass(device, DiskConfig(size, sector), pass, totalPasses, cancel ? *cancel : idle,
                      run.recorder.Progress(), run.recorder.Log(), fill);
}

TEST(HardwarePass, FourMiBPlus512IsTwoChunksEndingAt100Percent) {
  auto device = FaultDevice::InMemory(kChunk + 512, 512, 0xEE);
  PassRun run;
  RunPass(run, *device, kChunk + 512, Fixed(0x00));
  EXPECT_EQ(run.status, kStatusCompleted);
  EXPECT_THAT(device->events,
              ElementsAre("seek 0", "write 0 4194304", "write 4194304 512", "flush"));
  EXPECT_THAT(run.recorder.PassPercents(), ElementsAre(99, 100));
  EXPECT_THAT(run.recorder.OverallPercents(), ElementsAre(99, 100));
  EXPECT_THAT(run.recorder.log, ElementsAre("[HARDWARE WRITE] 開始: Pass 1/1: Zero Fill (0x00)",
                                            "[HARDWARE WRITE] 完了: Pass 1/1: Zero Fill (0x00)"));
  const auto& bytes = device->memory()->bytes();
  EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0x00; }));
  for (const auto& p : run.recorder.progress) {
    EXPECT_EQ(p.phase, 1);
    EXPECT_EQ(p.currentPass, 1);
    EXPECT_EQ(p.totalPasses, 1);
    EXPECT_EQ(testing::U8(p.statusText), "Pass 1/1: Zero Fill (0x00)");
    EXPECT_GE(p.speedMBps, 0.0);
  }
}

TEST(HardwarePass, PartialLastSectorStaysUnwrittenAndThePassCompletes) {
  for (const uint32_t sector : {512u, 4096u}) {
    SCOPED_TRACE(sector);
    const uint64_t size = kChunk + 3 * sector + 100;
    auto device = FaultDevice::InMemory(size, sector, 0xEE);
    PassRun run;
    RunPass(run, *device, size, Fixed(0xA5), 1, sector);
    EXPECT_EQ(run.status, kStatusCompleted);
    EXPECT_EQ(device->CountEvents("write"), 2u);
    EXPECT_EQ(device->events[2], "write 4194304 " + std::to_string(3 * sector));
    const auto& bytes = device->memory()->bytes();
    EXPECT_EQ(bytes[size - 101], 0xA5);
    for (uint64_t i = size - 100; i < size; ++i)
      ASSERT_EQ(bytes[i], 0xEE) << i;
    // 100 bytes are never written, so the last record stays below 100 percent.
    EXPECT_EQ(run.recorder.PassPercents().back(), 99);
    EXPECT_EQ(run.recorder.log.size(), 2u);
  }
}

TEST(HardwarePass, DiskWithoutAWholeSectorCompletesAtOnceWithOneFlushAndBothLines) {
  for (const uint64_t size : {0u, 300u}) {
    for (const PassSpec& pass : {Fixed(0), RandomPass()}) {
      SCOPED_TRACE(size);
      auto device = FaultDevice::InMemory(size, 512);
      PassRun run;
      RunPass(run, *device, size, pass);
      EXPECT_EQ(run.status, kStatusCompleted);
      EXPECT_THAT(device->events, ElementsAre("seek 0", "flush"));
      EXPECT_TRUE(run.recorder.progress.empty());
      EXPECT_EQ(run.recorder.log.size(), 2u);
    }
  }
}

TEST(HardwarePass, PercentagesUseIntegerDivisionOfTheBytesWrittenAndThePassNumber) {
  struct Case {
    uint64_t size;
    int32_t pass, total;
    std::vector<int32_t> passPercents, overallPercents;
  };
  const Case cases[] = {
      {2 * kChunk, 3, 3, {50, 100}, {83, 100}},
      // 3 chunks + 1 MiB: 4/13, 8/13, 12/13 of the disk, then all of it.
      {3 * kChunk + kMiB, 2, 4, {30, 61, 92, 100}, {32, 40, 48, 50}},
  };
  for (const Case& c : cases) {
    auto device = FaultDevice::InMemory(c.size, 512);
    PassRun run;
    PassSpec pass = Fixed(0);
    pass.passNumber = c.pass;
    RunPass(run, *device, c.size, pass, c.total);
    EXPECT_EQ(run.recorder.PassPercents(), c.passPercents);
    EXPECT_EQ(run.recorder.OverallPercents(), c.overallPercents);
    EXPECT_EQ(run.recorder.progress[0].currentPass, c.pass);
    EXPECT_EQ(run.recorder.progress[0].totalPasses, c.total);
  }
}

TEST(HardwarePass, ThreeBytePatternRestartsItsPhaseWithEveryChunk) {
  auto device = FaultDevice::InMemory(kChunk + 1024, 512);
  PassRun run;
  RunPass(run, *device, kChunk + 1024, Pattern(0x92, 0x49, 0x24));
  ASSERT_EQ(run.status, kStatusCompleted);
  const auto& bytes = device->memory()->bytes();
  EXPECT_THAT(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 7),
              ElementsAre(0x92, 0x49, 0x24, 0x92, 0x49, 0x24, 0x92));
  // 4,194,304 is not a multiple of 3: the buffer ends on a first pattern byte, so a running
  // pattern would go on with 0x49...
  EXPECT_THAT(std::vector<uint8_t>(bytes.begin() + kChunk - 4, bytes.begin() + kChunk),
              ElementsAre(0x92, 0x49, 0x24, 0x92));
  // ...but the second chunk starts again with the first pattern byte.
  EXPECT_THAT(std::vector<uint8_t>(bytes.begin() + kChunk, bytes.begin() + kChunk + 4),
              ElementsAre(0x92, 0x49, 0x24, 0x92));
  EXPECT_EQ(bytes.back(), 0x92);  // byte 1023 of the buffer: 1023 % 3 == 0
}

TEST(HardwarePass, CancelIsNoticedBeforeTheNextChunkWithoutFlushOrEndLine) {
  const uint64_t size = 5 * kChunk;
  auto device = FaultDevice::InMemory(size, 512, 0xEE);
  CancelFlag cancel{0};
  device->faults.beforeWrite = [&](int32_t n) {
    if (n == 2) cancel.exchange(1);
  };
  PassRun run;
  RunPass(run, *device, size, Fixed(0), 1, 512, &cancel);
  EXPECT_EQ(run.status, kStatusCancelled);
  EXPECT_EQ(device->writeCalls, 2);
  EXPECT_EQ(device->flushCalls, 0);
  EXPECT_THAT(run.recorder.PassPercents(), ElementsAre(20, 40));
  EXPECT_THAT(run.recorder.log, ElementsAre("[HARDWARE WRITE] 開始: Pass 1/1: Zero Fill (0x00)"));
  EXPECT_EQ(device->memory()->bytes()[2 * kChunk], 0xEE);
}

TEST(HardwarePass, CancelRaisedBeforeTheStartWritesNothing) {
  auto device = FaultDevice::InMemory(kChunk, 512);
  CancelFlag cancel{1};
  PassRun run;
  RunPass(run, *device, kChunk, RandomPass(), 1, 512, &cancel);
  EXPECT_EQ(run.status, kStatusCancelled);
  EXPECT_EQ(device->writeCalls, 0);
  EXPECT_EQ(device->flushCalls, 0);
}

TEST(HardwarePass, WriteErrorAtChunkKFailsThereWithoutFlushNamingTheOffset) {
  const uint64_t size = 4 * kChunk;
  auto device = FaultDevice::InMemory(size, 512, 0xEE);
  device->faults.failWriteAt = 3;
  PassRun run;
  RunPass(run, *device, size, Fixed(0x00));
  EXPECT_EQ(run.status, kStatusFailed);
  EXPECT_EQ(device->writeCalls, 3);
  EXPECT_EQ(device->flushCalls, 0);
  EXPECT_THAT(run.recorder.PassPercents(), ElementsAre(25, 50));
  ASSERT_EQ(run.recorder.log.size(), 2u);
  EXPECT_EQ(
      run.recorder.log[1].rfind("[ERROR] 書き込みに失敗しました (オフセット 8388608 バイト", 0),
      0u);
  const auto& bytes = device->memory()->bytes();
  EXPECT_EQ(bytes[2 * kChunk - 1], 0x00);  // what was written stays written
  EXPECT_EQ(bytes[2 * kChunk], 0xEE);
}

TEST(HardwarePass, ShortWriteContinuesFromWhereTheDeviceStopped) {
  // The device's end is shorter than the configured size: the second write is cut short,
  // the third finds no room and fails.
  auto device = FaultDevice::InMemory(kChunk + 1024, 512);
  PassRun run;
  RunPass(run, *device, 2 * kChunk, Fixed(0x11));
  EXPECT_EQ(run.status, kStatusFailed);
  EXPECT_THAT(device->writeOffsets, ElementsAre(0u, kChunk, kChunk + 1024));
  EXPECT_THAT(run.recorder.PassPercents(), ElementsAre(50, 50));
}

TEST(HardwarePass, FailedFlushFailsThePassWithAnErrorLine) {
  auto device = FaultDevice::InMemory(kChunk, 512);
  device->faults.failFlush = true;
  PassRun run;
  RunPass(run, *device, kChunk, Fixed(0));
  EXPECT_EQ(run.status, kStatusFailed);
  EXPECT_THAT(
      run.recorder.log,
      ElementsAre(
          "[HARDWARE WRITE] 開始: Pass 1/1: Zero Fill (0x00)",
          "[ERROR] ディスクへのフラッシュ (書き込み確定) に失敗しました: Pass 1/1: Zero Fill (0x00)"));
}

TEST(HardwarePass, ZeroByteWritesFailedSeeksAndMisalignedTailsFailWithoutFlush) {
  struct Case {
    const char* name;
    uint64_t deviceBytes, size;
    uint32_t deviceSector;
    void (*arm)(FaultPlan&);
    int32_t writes;
  };
  const Case cases[] = {
      {"write of 0 bytes", 2 * kChunk, 2 * kChunk, 512, [](FaultPlan& f) { f.zeroWriteAt = 2; }, 2},
      {"seek to the start", kChunk, kChunk, 512, [](FaultPlan& f) { f.failSeek = true; }, 0},
      // The configured sector (512) is smaller than the device's (4096): the 512-byte tail
      // write is misaligned, and the device refuses it as an unbuffered handle would.
      {"misaligned tail", kChunk + 4096, kChunk + 512, 4096, [](FaultPlan&) {}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto device = FaultDevice::InMemory(c.deviceBytes, c.deviceSector);
    c.arm(device->faults);
    PassRun run;
    RunPass(run, *device, c.size, Pattern(1, 2, 3));
    EXPECT_EQ(run.status, kStatusFailed);
    EXPECT_EQ(device->writeCalls, c.writes);
    EXPECT_EQ(device->flushCalls, 0);
  }
}

TEST(HardwarePass, ChunkSizeFollowsTheWholeSectorRule) {
  EXPECT_EQ(NextChunkBytes(10 * kChunk, 512), kChunk);
  EXPECT_EQ(NextChunkBytes(kChunk, 512), kChunk);
  EXPECT_EQ(NextChunkBytes(kChunk - 1, 512), kChunk - 512);
  EXPECT_EQ(NextChunkBytes(5000, 4096), 4096u);
  EXPECT_EQ(NextChunkBytes(4095, 4096), 0u);
  EXPECT_EQ(NextChunkBytes(1000, 0), 512u);       // 0 counts as 512
  EXPECT_EQ(OverallPassPercent(100, 1, 0), 100);  // no division by zero
}

}  // namespace
}  // namespace tvde
