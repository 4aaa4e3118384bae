// Random passes: every chunk is a fresh fill written in order, a failing random source fails
// the pass, and cancellation or a write error stops the generator thread cleanly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "engine_recorder.h"
#include "erase/overwrite_pass.h"
#include "support/fault_device.h"

namespace tvde {
namespace {

using testing::DiskConfig;
using ::testing::ElementsAre;
using testing::EngineRecorder;
using testing::FaultDevice;

constexpr uint64_t kChunk = 4 * 1024 * 1024;
const PassSpec kRandomPass{2, PassKind::Random, {}, L"Pass 2/3: Random"};

// Fill number k writes the byte value k everywhere, so the disk shows which fill went where.
RandomFill NumberedFill(std::atomic<int32_t>& calls, int32_t failAt = 0) {
  return [&calls, failAt](std::span<uint8_t> out) {
    const int32_t k = ++calls;
    if (k == failAt) return false;
    std::memset(out.data(), k, out.size());
    return true;
  };
}

TEST(RandomPass, EveryChunkIsItsOwnFillInOrder) {
  const uint64_t size = 3 * kChunk + 512;
  auto device = FaultDevice::InMemory(size, 512);
  std::atomic<int32_t> calls{0};
  EngineRecorder recorder;
  CancelFlag cancel{0};
  const int32_t status = RunHardwarePass(*device, DiskConfig(size), kRandomPass, 3, cancel,
                                         recorder.Progress(), recorder.Log(), NumberedFill(calls));
  ASSERT_EQ(status, kStatusCompleted);
  const auto& bytes = device->memory()->bytes();
  for (uint64_t chunk = 0; chunk < 3; ++chunk) {
    EXPECT_EQ(bytes[chunk * kChunk], chunk + 1) << chunk;
    EXPECT_EQ(bytes[chunk * kChunk + kChunk - 1], chunk + 1) << chunk;
  }
  EXPECT_EQ(bytes[size - 1], 4);  // the 512-byte tail is the fourth fill
  // The generator works at most one chunk ahead of the writes.
  EXPECT_GE(calls.load(), 4);
  EXPECT_LE(calls.load(), 5);
  EXPECT_THAT(recorder.PassPercents(), ElementsAre(33, 66, 99, 100));
  EXPECT_THAT(recorder.log, ElementsAre("[HARDWARE WRITE] 開始: Pass 2/3: Random",
                                        "[HARDWARE WRITE] 完了: Pass 2/3: Random"));
}

TEST(RandomPass, SystemGeneratorWritesDifferentDataIntoEveryChunk) {
  const uint64_t size = 2 * kChunk + 4096;
  auto device = FaultDevice::InMemory(size, 512);
  CancelFlag cancel{0};
  ASSERT_EQ(RunHardwarePass(*device, DiskConfig(size), kRandomPass, 1, cancel, {}, {}),
            kStatusCompleted);
  const auto& bytes = device->memory()->bytes();
  EXPECT_NE(std::memcmp(bytes.data(), bytes.data() + kChunk, 4096), 0);
  EXPECT_NE(std::memcmp(bytes.data() + kChunk, bytes.data() + 2 * kChunk, 4096), 0);
  // No sector of random data is a run of one byte value.
  for (uint64_t sector = 0; sector < size; sector += 512) {
    const uint8_t first = bytes[sector];
    ASSERT_FALSE(std::all_of(bytes.begin() + sector, bytes.begin() + sector + 512, [&](uint8_t b) {
      return b == first;
    })) << sector;
  }
}

TEST(RandomPass, FailingRandomSourceFailsThePassBeforeItsChunkIsWritten) {
  for (const int32_t failAt : {1, 2}) {
    SCOPED_TRACE(failAt);
    auto device = FaultDevice::InMemory(3 * kChunk, 512, 0xEE);
    std::atomic<int32_t> calls{0};
    EngineRecorder recorder;
    CancelFlag cancel{0};
    const int32_t status =
        RunHardwarePass(*device, DiskConfig(3 * kChunk), kRandomPass, 3, cancel,
                        recorder.Progress(), recorder.Log(), NumberedFill(calls, failAt));
    EXPECT_EQ(status, kStatusFailed);
    EXPECT_EQ(device->writeCalls, failAt - 1);
    EXPECT_EQ(device->flushCalls, 0);
    EXPECT_THAT(
        recorder.log,
        ElementsAre(
            "[HARDWARE WRITE] 開始: Pass 2/3: Random",
            "[ERROR] 暗号論的乱数の生成に失敗したため、上書きを中止しました: Pass 2/3: Random"));
    // Nothing that only looks random reaches the disk.
    EXPECT_EQ(device->memory()->bytes()[(failAt - 1) * kChunk], 0xEE);
    EXPECT_EQ(calls.load(), failAt);  // the generator stops at its first failure
  }
}

// The generator keeps its own copy of the fill function; the copy (and the token it holds)
// is gone once the pass has returned only if the generator thread was stopped and joined.
RandomFill TokenFill(const std::shared_ptr<int>& token) {
  return [token](std::span<uint8_t> out) { return FillRandom(out); };
}

TEST(RandomPass, CancelOrWriteErrorStopsTheGeneratorThreadBeforeThePassReturns) {
  struct Case {
    int32_t cancelBefore, failAt;  // write numbers; 0: never
    int32_t status, writes;
  };
  for (const Case& c : {Case{2, 0, kStatusCancelled, 2}, Case{0, 1, kStatusFailed, 1},
                        Case{0, 3, kStatusFailed, 3}}) {
    SCOPED_TRACE(c.cancelBefore + 10 * c.failAt);
    auto device = FaultDevice::InMemory(6 * kChunk, 512);
    CancelFlag cancel{0};
    device->faults.failWriteAt = c.failAt;
    device->faults.beforeWrite = [&cancel, &c](int32_t n) {
      if (n == c.cancelBefore) cancel.exchange(1);
    };
    auto token = std::make_shared<int>(0);
    EXPECT_EQ(RunHardwarePass(*device, DiskConfig(6 * kChunk), kRandomPass, 1, cancel, {}, {},
                              TokenFill(token)),
              c.status);
    EXPECT_EQ(device->writeCalls, c.writes);
    EXPECT_EQ(device->flushCalls, 0);
    EXPECT_EQ(token.use_count(), 1);
  }
}

TEST(RandomPass, SlowGeneratorStillHandsOverEveryChunkOnce) {
  // The writer outruns the generator here: it must wait for each chunk, never reuse one.
  auto device = FaultDevice::InMemory(4 * kChunk, 512);
  std::atomic<int32_t> calls{0};
  auto numbered = NumberedFill(calls);
  RandomFill slow = [&](std::span<uint8_t> out) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return numbered(out);
  };
  CancelFlag cancel{0};
  ASSERT_EQ(RunHardwarePass(*device, DiskConfig(4 * kChunk), kRandomPass, 1, cancel, {}, {}, slow),
            kStatusCompleted);
  const auto& bytes = device->memory()->bytes();
  for (uint64_t chunk = 0; chunk < 4; ++chunk)
    EXPECT_EQ(bytes[chunk * kChunk + 7], chunk + 1);
}

}  // namespace
}  // namespace tvde
