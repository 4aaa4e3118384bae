// The standards' pass plans, and overwrite passes on the fault-injecting device: chunks and
// the tail rule, rising progress, the pass contents, every way a pass ends early, the flush
// after every GiB, random data from a generator thread, and the partition-table wipe. The paced
// simulation and the TRIM notice are the job's tests.
#include "erase/overwrite_pass.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "base/system_error.h"
#include "engine_recorder.h"
#include "erase/device_preparation.h"
#include "erase/disk_error_text.h"
#include "erase/erase_standard.h"
#include "support/fault_device.h"
#include "support/file_bytes.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using ::testing::ElementsAre;

constexpr uint64_t kChunk = 4 * 1024 * 1024;
constexpr auto kPass = &EraseProgressInfo::passPercent;
const char* const kStart = "[HARDWARE WRITE] 開始: Pass 2/4: Fill";
const PassSpec kFill{2, PassKind::FixedByte, {0xA5, 0, 0}, L"Pass 2/4: Fill"};

struct PassRun {
  std::unique_ptr<FaultDevice> device;
  EngineRecorder recorder;
  int32_t status = -1;
  std::string Slice(uint64_t offset, size_t count) const {
    const auto& bytes = device->memory()->bytes();
    return std::string(bytes.begin() + offset, bytes.begin() + offset + count);
  }
};

// Pass 2 of 4 over a disk of `size` bytes on a device of `deviceBytes` filled with 0xEE;
// the cancel flag goes up before write number `cancelAt` (-1: before the start).
PassRun RunPass(uint64_t deviceBytes, uint64_t size, FaultPlan faults = {}, int32_t cancelAt = 0,
                uint32_t deviceSector = 512, uint32_t sector = 512, const PassSpec& pass = kFill,
                const PassStream& stream = {}) {
  PassRun run;
  run.device = FaultDevice::InMemory(deviceBytes, deviceSector, 0xEE);
  CancelFlag cancel{cancelAt < 0 ? 1 : 0};
  run.device->faults = std::move(faults);
  run.device->faults.beforeWrite = [&cancel, cancelAt](int32_t n) {
    if (n == cancelAt) cancel.exchange(1);
  };
  run.status = RunHardwarePass(*run.device, DiskConfig(size, sector), pass, 4, cancel,
                               run.recorder.Progress(), run.recorder.Log(), stream);
  return run;
}

TEST(HardwarePass, WritesEveryWholeSectorInChunksWithRisingProgress) {
  struct Case {
    uint64_t size;
    uint32_t sector;
    std::vector<int32_t> pass, overall;
    std::vector<std::string> writes;
  };
  const Case cases[] = {
      {kChunk + 512, 512, {99, 100}, {49, 50}, {"write 0 4194304", "write 4194304 512"}},
      // The last 100 bytes are no whole sector: never written, so never 100 percent.
      {kChunk + 12388, 4096, {99, 99}, {49, 49}, {"write 0 4194304", "write 4194304 12288"}},
      // 4/13, 8/13, 12/13 of the disk, then all of it.
      {13 * kChunk / 4, 512, {30, 61, 92, 100}, {32, 40, 48, 50}, {}},
      {300, 512, {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    const PassRun run = RunPass(c.size, c.size, {}, 0, c.sector, c.sector);
    EXPECT_EQ(run.status, kStatusCompleted);
    EXPECT_EQ(run.device->events.front() + " " + run.device->events.back(), "seek 0 flush");
    for (const std::string& write : c.writes)
      EXPECT_EQ(run.device->CountEvents(write), 1u) << write;
    EXPECT_EQ(run.device->writeCalls, static_cast<int32_t>(c.pass.size()));
    EXPECT_EQ(run.recorder.Percents(kPass), c.pass);
    EXPECT_EQ(run.recorder.Percents(&EraseProgressInfo::overallPercent), c.overall);
    EXPECT_THAT(run.recorder.log, ElementsAre(kStart, "[HARDWARE WRITE] 完了: Pass 2/4: Fill"));
    const size_t whole = c.size - c.size % c.sector;
    EXPECT_TRUE(AllEqual(run.device->memory()->bytes(), 0, whole, 0xA5));
    EXPECT_TRUE(AllEqual(run.device->memory()->bytes(), whole, c.size, 0xEE));
  }
  // A three-byte pattern starts anew with every chunk (4 MiB is no multiple of 3).
  const PassRun pattern = RunPass(kChunk + 512, kChunk + 512, {}, 0, 512, 512,
                                  {5, PassKind::ThreeBytePattern, {0x92, 0x49, 0x24}, L"P"});
  EXPECT_EQ(pattern.Slice(kChunk - 4, 8), "\x92\x49\x24\x92\x92\x49\x24\x92");
  EXPECT_EQ(NextChunkBytes(1000, 0), 512u);       // 0 counts as 512
  EXPECT_EQ(OverallPassPercent(100, 1, 0), 100);  // no division by zero
}

TEST(HardwarePass, ErrorsAndCancelEndThePassWithoutFlushOrEndLine) {
  struct Case {
    const char* name;
    uint64_t deviceBytes, size;
    int32_t failWriteAt, zeroWriteAt, cancelAt, status, writes;
    const char* percents;
    int64_t errorOffset;   // the offset the error line names; -1: no error line
    const char* errorEnd;  // what follows the pass name in it
    uint32_t deviceSector = 512;
  };
  const std::string ioError = "): " + U8(DescribeDiskError(5));
  const Case cases[] = {
      {"write error", 4 * kChunk, 4 * kChunk, 3, 0, 0, kStatusFailed, 3, "25 50", 8388608,
       ioError.c_str()},
      {"write of 0 bytes", 2 * kChunk, 2 * kChunk, 0, 2, 0, kStatusFailed, 2, "50", 4194304,
       "): 0 バイトしか書き込めませんでした"},
      // The device ends before the configured size: the write is cut short, the rest of the
      // chunk is tried where it stopped and fails.
      {"device too short", kChunk + 1024, 2 * kChunk, 0, 0, 0, kStatusFailed, 3, "50", 4195328,
       ioError.c_str()},
      {"cancel during chunk 2", 5 * kChunk, 5 * kChunk, 0, 0, 2, kStatusCancelled, 2, "20 40", -1,
       ""},
      {"cancel before the start", kChunk, kChunk, 0, 0, -1, kStatusCancelled, 0, "", -1, ""},
      // The configured sector (512) is smaller than the device's (4096): the tail write is
      // misaligned, and the device refuses it as an unbuffered handle would.
      {"misaligned tail", kChunk + 4096, kChunk + 512, 0, 0, 0, kStatusFailed, 2, "99", 4194304, "",
       4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FaultPlan faults;
    faults.failWriteAt = c.failWriteAt;
    faults.zeroWriteAt = c.zeroWriteAt;
    const PassRun run = RunPass(c.deviceBytes, c.size, faults, c.cancelAt, c.deviceSector);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.device->writeCalls, c.writes);
    EXPECT_EQ(run.device->flushCalls, 0);
    std::string percents;
    for (const int32_t p : run.recorder.Percents(kPass))
      percents += FormatPrintf(percents.empty() ? "%d" : " %d", p);
    EXPECT_EQ(percents, c.percents);
    ASSERT_EQ(run.recorder.log.size(), c.errorOffset >= 0 ? 2u : 1u);
    EXPECT_EQ(run.recorder.log[0], kStart);
    if (c.errorOffset < 0) continue;
    EXPECT_THAT(run.recorder.log[1],
                ::testing::StartsWith("[ERROR] 書き込みに失敗しました (オフセット " +
                                      std::to_string(c.errorOffset) + " バイト, Pass 2/4: Fill" +
                                      c.errorEnd));
  }
  FaultPlan faults;  // what was written before a failure stays written
  faults.failWriteAt = 3;
  EXPECT_EQ(RunPass(4 * kChunk, 4 * kChunk, faults).Slice(2 * kChunk - 1, 2), "\xA5\xEE");
  faults = FaultPlan();
  faults.failSeek = true;
  EXPECT_EQ(RunPass(kChunk, kChunk, faults).device->events, std::vector<std::string>{"seek 0"});
  // A failed flush fails a pass whose writes all succeeded.
  faults = FaultPlan();
  faults.failFlush = true;
  const PassRun unflushed = RunPass(kChunk, kChunk, faults);
  EXPECT_EQ(unflushed.status, kStatusFailed);
  EXPECT_THAT(
      unflushed.recorder.log,
      ElementsAre(kStart, ::testing::StartsWith(
                              "[ERROR] ディスクへのフラッシュ (書き込み確定) に失敗しました "
                              "(オフセット 4194304 バイトまで, Pass 2/4: Fill): ")));
}

TEST(DiskErrors, TheSystemTextNamesTheCodeAndTheLikelyCauseFollows) {
#ifdef _WIN32
  const std::pair<uint32_t, const char*> cases[] = {{5, "マウントされたまま"},
                                                    {19, "読み取り専用"},
                                                    {21, "取り外された"},
                                                    {1167, "応答していません"},
                                                    {23, nullptr}};
#else
  const std::pair<uint32_t, const char*> cases[] = {
      {EACCES, "マウントされたまま"}, {EBUSY, "ブロック"},     {EROFS, "オフライン"},
      {ENODEV, "応答していません"},   {ENXIO, "取り外された"}, {EIO, nullptr}};
#endif
  for (const auto& [code, hint] : cases) {
    const std::string system = U8(DescribeSystemError(code)), text = U8(DescribeDiskError(code));
    EXPECT_TRUE(system.ends_with(FormatPrintf(" %u)", code))) << system;
    EXPECT_TRUE(hint ? text.starts_with(system + " [") && text.ends_with("]") : text == system);
    EXPECT_THAT(text, ::testing::HasSubstr(hint ? hint : "")) << text;
  }
}

// Takes every aligned write without keeping it, so a pass over several GiB costs nothing.
class DiscardingDevice final : public Device {
 public:
  bool Seek(uint64_t) override { return true; }
  IoResult Read(std::span<uint8_t> buffer) override { return {true, buffer.size(), 0}; }
  IoResult Write(std::span<const uint8_t> data) override { return {true, data.size(), 0}; }
  bool Flush() override { return true; }
  bool TrimWholeDevice(uint64_t) override { return true; }
  bool DeleteDriveLayout() override { return true; }
  bool UpdateProperties() override { return true; }
  bool QueryLength(uint64_t&) override { return false; }
};

TEST(HardwarePass, FlushesRightAfterEveryWholeGiBAndAtTheEndAndStopsAtAFailedFlush) {
  constexpr uint64_t kSize = (uint64_t{5} << 29) + 4096;  // 2.5 GiB and one more write
  for (const auto& [failFlush, status, writes, flushes] :
       {std::tuple{false, kStatusCompleted, 641, 3}, std::tuple{true, kStatusFailed, 256, 1}}) {
    FaultDevice device(std::make_unique<DiscardingDevice>(), 512);
    device.faults.failFlush = failFlush;
    EngineRecorder recorder;
    CancelFlag cancel{0};
    EXPECT_EQ(RunHardwarePass(device, DiskConfig(kSize, 512), kFill, 4, cancel, recorder.Progress(),
                              recorder.Log()),
              status);
    EXPECT_EQ(device.writeCalls, writes);
    EXPECT_EQ(device.flushCalls, flushes);
    const auto first = std::find(device.events.begin(), device.events.end(), "flush");
    ASSERT_NE(first, device.events.end());
    EXPECT_EQ(*(first - 1), "write 1069547520 4194304");  // the write that completes 1 GiB
    EXPECT_THAT(recorder.log.back(),
                ::testing::StartsWith(failFlush ? "[ERROR] ディスクへのフラッシュ (書き込み確定) "
                                                  "に失敗しました (オフセット 1073741824 バイトまで"
                                                : "[HARDWARE WRITE] 完了: Pass 2/4: Fill"));
  }
}

// "R" random, "F00" fixed byte, "P924924" three-byte pattern, pass by pass.
std::string Describe(const PassPlan& plan) {
  std::string out;
  for (size_t i = 0; i < plan.size(); ++i) {
    const PassSpec& p = plan[i];
    EXPECT_EQ(p.passNumber, static_cast<int32_t>(i + 1));
    out += out.empty() ? "" : " ";
    if (p.kind == PassKind::Random) out += "R";
    if (p.kind == PassKind::FixedByte) out += FormatPrintf("F%02X", p.pattern[0]);
    if (p.kind == PassKind::ThreeBytePattern) {
      out += FormatPrintf("P%02X%02X%02X", p.pattern[0], p.pattern[1], p.pattern[2]);
    }
  }
  return out;
}

TEST(PassPlan, EveryStandardWritesItsPublishedPasses) {
  const std::pair<EraseStandard, const char*> plans[] = {
      {EraseStandard::NistPurge, "R F00"},
      {EraseStandard::NistClear, "F00"},
      {EraseStandard::ZeroFill, "F00"},
      {EraseStandard::CryptoRandom, "R"},
      {EraseStandard::Dod522022M, "F00 FFF R"},
      {EraseStandard::HmgIs5Enhanced, "F00 FFF R"},
      {EraseStandard::DodEce, "F00 FFF R F96 F00 FFF R"},
      {EraseStandard::Gutmann,
       "R R R R P555555 PAAAAAA P924924 P492492 P249249 P000000 P111111 P222222 P333333 P444444 "
       "P555555 P666666 P777777 P888888 P999999 PAAAAAA PBBBBBB PCCCCCC PDDDDDD PEEEEEE PFFFFFF "
       "P924924 P492492 P249249 P6DB6DB PB6DB6D PDB6DB6 R R R F00"},
  };
  for (const auto& [standard, plan] : plans) {
    EXPECT_EQ(Describe(BuildPassPlan(standard)), plan) << static_cast<int>(standard);
    EXPECT_EQ(PlanEndsWithZeros(BuildPassPlan(standard)), std::string(plan).ends_with("F00"));
  }
  const EraseJobConfig defaults;  // a request starts as a safe simulation of a protected disk
  EXPECT_EQ(defaults.executionMode, ExecutionMode::Simulation);
  EXPECT_EQ(defaults.disk.safetyStatus, SafetyStatus::ProtectedSystemDisk);
  for (const int32_t unknown : {8, -1}) {
    EXPECT_TRUE(BuildPassPlan(static_cast<EraseStandard>(unknown)).empty());
    EXPECT_FALSE(PlanEndsWithZeros(BuildPassPlan(static_cast<EraseStandard>(unknown))));
    EXPECT_EQ(U8(StandardLabel(static_cast<EraseStandard>(unknown))), "Unknown Standard");
  }
}

constexpr uint64_t kMiB = 1024 * 1024;

TEST(PartitionWipe, ZeroesTheFirstAndTheLastWholeSectorMiBThenAsksForTheNewLayout) {
  // 4,000,000 bytes: the backup area starts at the last whole-sector MiB, 2,951,168; the last
  // 256 bytes are no whole sector and stay.
  auto device = FaultDevice::InMemory(4000000, 512, 0xFF);
  EngineRecorder recorder;
  // The ranges the device took the zeroes for: what a read-back expects to find zeroed.
  EXPECT_EQ(WipePartitionTables(*device, 4000000, 512, recorder.Log()),
            (std::vector<ByteRange>{{0, kMiB}, {2951168, kMiB}}));
  EXPECT_THAT(device->events,
              ElementsAre("delete-layout", "seek 0", "write 0 1048576", "seek 2951168",
                          "write 2951168 1048576", "flush", "update-properties"));
  EXPECT_THAT(
      recorder.log,
      ElementsAre(
          "[PARTITION] MBRおよびGPT(Primary/Backup)パーティションテーブルを完全に破棄・ゼロクリアしました。"));
  EXPECT_TRUE(AllEqual(device->memory()->bytes(), kMiB, 2951168, 0xFF));
  EXPECT_EQ(BackupWipeOffset(4000000, 4096), 2949120u);      // 720 x 4096
  EXPECT_EQ(BackupWipeOffset(2 * kMiB, 512), std::nullopt);  // the first write covers it
  auto small = FaultDevice::InMemory(kMiB / 16 + 300, 512);  // smaller than the 1 MiB area
  WipePartitionTables(*small, kMiB / 16 + 300, 512, {});
  EXPECT_EQ(small->events[2], "write 0 65536");
  // Failed writes and flushes are logged instead of the success line; every step is tried.
  device->faults.zeroWriteAt = 3;
  device->faults.failWriteAt = 4;
  device->faults.failFlush = true;
  recorder.log.clear();
  EXPECT_TRUE(WipePartitionTables(*device, 4000000, 512, recorder.Log()).empty());
  const std::string cause = "のゼロクリア書き込みに失敗しました。原因: ";
  EXPECT_THAT(recorder.log,
              ElementsAre("[ERROR] パーティションテーブル領域 (オフセット 0 バイト) " + cause +
                              "0 / 1048576 バイト",
                          "[ERROR] パーティションテーブル領域 (オフセット 2951168 バイト) " +
                              cause + U8(DescribeDiskError(5)),
                          ::testing::StartsWith("[ERROR] パーティションテーブル破棄後のフラッシュ "
                                                "(書き込み確定) に失敗しました。原因: ")));
  EXPECT_EQ(device->events.back(), "update-properties");
}

const PassSpec kRandom{2, PassKind::Random, {}, L"Pass 2/4: Fill"};

// Fill number k writes the byte value k everywhere, so the disk shows which fill went where.
// The function holds `alive` while the generator keeps its copy.
PassStream NumberedStream(std::atomic<int32_t>& calls, int32_t failAt = 0, int32_t delayMs = 0,
                          std::shared_ptr<int> alive = nullptr) {
  return [&calls, failAt, delayMs, alive](uint64_t, std::span<uint8_t> out) {
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    const int32_t k = ++calls;
    std::memset(out.data(), k, out.size());
    return k != failAt;
  };
}

TEST(RandomPass, EveryChunkIsItsOwnFillInOrderWhateverTheGeneratorsPace) {
  for (const int32_t delayMs : {0, 5}) {  // the generator ahead of the writes, or behind them
    std::atomic<int32_t> calls{0};
    const PassRun run = RunPass(3 * kChunk + 512, 3 * kChunk + 512, {}, 0, 512, 512, kRandom,
                                NumberedStream(calls, 0, delayMs));
    ASSERT_EQ(run.status, kStatusCompleted);
    EXPECT_EQ(run.Slice(0, 1) + run.Slice(kChunk - 1, 2) + run.Slice(2 * kChunk, 1) +
                  run.Slice(3 * kChunk, 512).substr(511),
              "\x01\x01\x02\x03\x04")
        << "the 512-byte tail is the fourth fill";
    EXPECT_EQ(calls.load(), 4);
    EXPECT_EQ(run.recorder.Percents(kPass), (std::vector<int32_t>{33, 66, 99, 100}));
  }
  EXPECT_EQ(RunPass(kChunk, kChunk, {}, 0, 512, 512, kRandom).status, kStatusFailed)
      << "a random pass without a stream writes nothing";
}

TEST(RandomPass, FailuresAndCancelStopTheGeneratorBeforeThePassReturns) {
  struct Case {
    int32_t failFillAt, failWriteAt, cancelAt, status, writes;
  };
  for (const Case& c : {Case{1, 0, 0, kStatusFailed, 0}, Case{2, 0, 0, kStatusFailed, 1},
                        Case{0, 1, 0, kStatusFailed, 1}, Case{0, 3, 0, kStatusFailed, 3},
                        Case{0, 0, 2, kStatusCancelled, 2}}) {
    SCOPED_TRACE(::testing::Message() << c.failFillAt << c.failWriteAt << c.cancelAt);
    FaultPlan faults;
    faults.failWriteAt = c.failWriteAt;
    std::atomic<int32_t> calls{0};
    auto alive = std::make_shared<int>(0);
    const PassRun run = RunPass(6 * kChunk, 6 * kChunk, faults, c.cancelAt, 512, 512, kRandom,
                                NumberedStream(calls, c.failFillAt, 0, alive));
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.device->writeCalls, c.writes);
    EXPECT_EQ(run.device->flushCalls, 0);
    EXPECT_EQ(alive.use_count(), 1) << "the generator thread still holds its fill function";
    if (c.failFillAt == 0) continue;
    // Nothing that only looks random reaches the disk, and the generator stops there.
    EXPECT_EQ(run.Slice((c.failFillAt - 1) * kChunk, 1), "\xEE");
    EXPECT_EQ(calls.load(), c.failFillAt);
    EXPECT_EQ(run.recorder.log.back(),
              "[ERROR] 暗号論的乱数の生成に失敗したため、上書きを中止しました: Pass 2/4: Fill");
  }
}

}  // namespace
}  // namespace tvde
