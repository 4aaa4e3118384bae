// A pass flushes at every full GiB and at its end, so that progress never runs far ahead of
// what the device confirmed; a failed interval flush fails the pass there.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_recorder.h"
#include "erase/overwrite_pass.h"
#include "support/fault_device.h"

namespace tvde {
namespace {

using testing::FaultDevice;

// Accepts every aligned write without storing it, so a pass over several GiB costs nothing.
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

struct FlushCase {
  bool failFlush;
  int32_t status;
  int32_t writes;   // 4 MiB writes issued
  int32_t flushes;  // flush calls, failed ones included
};

TEST(DurableFlush, EveryGiBAndTheEndOrTheFailedFlushEndsThePass) {
  constexpr uint64_t kSize = (uint64_t{5} << 29) + 4096;  // 2.5 GiB and one more chunk
  const PassSpec pass{1, PassKind::FixedByte, {0x00, 0, 0}, L"Pass 1/1: Zero Fill (0x00)"};
  for (const FlushCase& c :
       {FlushCase{false, kStatusCompleted, 641, 3}, FlushCase{true, kStatusFailed, 256, 1}}) {
    FaultDevice device(std::make_unique<DiscardingDevice>(), 512);
    device.faults.failFlush = c.failFlush;
    testing::EngineRecorder recorder;
    CancelFlag cancel{0};
    const int32_t status = RunHardwarePass(device, testing::DiskConfig(kSize, 512), pass, 1, cancel,
                                           recorder.Progress(), recorder.Log());
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(device.writeCalls, c.writes);
    EXPECT_EQ(device.flushCalls, c.flushes);
    // The interval flushes come right after the write that completes each GiB.
    const auto first = std::find(device.events.begin(), device.events.end(), "flush");
    ASSERT_NE(first, device.events.end());
    EXPECT_EQ(*(first - 1), "write 1069547520 4194304");
    if (c.failFlush) {
      EXPECT_THAT(
          recorder.log.back(),
          ::testing::HasSubstr("[ERROR] ディスクへのフラッシュ (書き込み確定) に失敗しました"));
    }
  }
}

}  // namespace
}  // namespace tvde
