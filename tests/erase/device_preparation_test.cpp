// TRIM notice and partition-table wipe on the fault-injecting device: requests, offsets,
// order, and truthful log lines when a write fails.
#include "erase/device_preparation.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine_recorder.h"
#include "support/fault_device.h"
#include "support/file_bytes.h"

namespace tvde {
namespace {

using testing::AllEqual;
using ::testing::ElementsAre;
using testing::EngineRecorder;
using testing::FaultDevice;

constexpr uint64_t kMiB = 1024 * 1024;
constexpr char kWipedLine[] =
    "[PARTITION] MBRおよびGPT(Primary/Backup)パーティションテーブルを完全に破棄・ゼロクリアしました。";

TEST(TrimNotice, AcceptedAndRejectedRequestsLogTheirOwnLine) {
  auto device = FaultDevice::InMemory(8192, 512, 0x33);
  EngineRecorder recorder;
  SendTrimForWholeDisk(*device, 8192, recorder.Log());
  EXPECT_THAT(device->events, ElementsAre("trim 8192"));
  EXPECT_EQ(device->memory()->bytes()[8191], 0);  // the in-memory disk discards for real

  auto rejecting = FaultDevice::InMemory(8192, 512);
  rejecting->faults.rejectTrim = true;
  SendTrimForWholeDisk(*rejecting, 8192, recorder.Log());
  SendTrimForWholeDisk(*rejecting, 8192, {});  // an empty log callback is skipped
  EXPECT_THAT(
      recorder.log,
      ElementsAre(
          "[NIST 800-88 / SSD] ストレージコントローラへ全LBA領域 TRIM / Deallocate 通知を発行しました。",
          "[INFO] ハードウェアTRIM通知はスキップされました。物理セクタの完全上書きパージを実行します。"));
}

TEST(PartitionWipe, FourMillionByteDiskGetsItsSecondWriteAt2951168) {
  auto device = FaultDevice::InMemory(4000000, 512, 0xFF);
  EngineRecorder recorder;
  WipePartitionTables(*device, 4000000, 512, recorder.Log());
  EXPECT_THAT(device->events,
              ElementsAre("delete-layout", "seek 0", "write 0 1048576", "seek 2951168",
                          "write 2951168 1048576", "flush", "update-properties"));
  EXPECT_THAT(recorder.log, ElementsAre(kWipedLine));
  const auto& bytes = device->memory()->bytes();
  EXPECT_TRUE(AllEqual(bytes, 0, kMiB, 0x00));
  EXPECT_TRUE(AllEqual(bytes, kMiB, 2951168, 0xFF));
  EXPECT_TRUE(AllEqual(bytes, 2951168, 2951168 + kMiB, 0x00));
  // The last 256 bytes are not a whole sector: no write can reach them.
  EXPECT_TRUE(AllEqual(bytes, 2951168 + kMiB, 4000000, 0xFF));
}

TEST(PartitionWipe, BackupOffsetIsTheLastWholeSectorMiB) {
  EXPECT_EQ(BackupWipeOffset(4000000, 512), 2951168u);
  EXPECT_EQ(BackupWipeOffset(4000000, 4096), 2949120u);  // 720 x 4096
  EXPECT_EQ(BackupWipeOffset(4000000, 0), 2951168u);
  EXPECT_EQ(BackupWipeOffset(2 * kMiB + 512, 512), kMiB + 512);
  EXPECT_EQ(BackupWipeOffset(2 * kMiB, 512), std::nullopt);
  EXPECT_EQ(BackupWipeOffset(0, 512), std::nullopt);
}

TEST(PartitionWipe, DiskOfExactly2MiBGetsOnlyTheFirstWrite) {
  auto device = FaultDevice::InMemory(2 * kMiB, 512, 0xFF);
  EngineRecorder recorder;
  WipePartitionTables(*device, 2 * kMiB, 512, recorder.Log());
  EXPECT_THAT(device->writeOffsets, ElementsAre(0u));
  EXPECT_TRUE(AllEqual(device->memory()->bytes(), kMiB, 2 * kMiB, 0xFF));
  EXPECT_THAT(recorder.log, ElementsAre(kWipedLine));
}

TEST(PartitionWipe, DiskSmallerThanTheBufferIsWipedWithinItsSectors) {
  auto device = FaultDevice::InMemory(64 * 1024 + 300, 512, 0xFF);
  EngineRecorder recorder;
  WipePartitionTables(*device, 64 * 1024 + 300, 512, recorder.Log());
  EXPECT_THAT(device->events, ElementsAre("delete-layout", "seek 0", "write 0 65536", "flush",
                                          "update-properties"));
  EXPECT_THAT(recorder.log, ElementsAre(kWipedLine));
}

TEST(PartitionWipe, FailedWritesAreLoggedInsteadOfTheSuccessLine) {
  auto device = FaultDevice::InMemory(4000000, 512, 0xFF);
  device->faults.failWriteAt = 2;
  EngineRecorder recorder;
  WipePartitionTables(*device, 4000000, 512, recorder.Log());
  EXPECT_THAT(
      recorder.log,
      ElementsAre(
          "[ERROR] パーティションテーブル領域 (オフセット 2951168 バイト) のゼロクリア書き込みに失敗しました。"));
  // Best effort: the request to re-read the layout still goes out.
  EXPECT_EQ(device->events.back(), "update-properties");
  EXPECT_EQ(device->flushCalls, 1);

  auto zeroWrite = FaultDevice::InMemory(4000000, 512, 0xFF);
  zeroWrite->faults.zeroWriteAt = 1;
  zeroWrite->faults.failFlush = true;
  EngineRecorder second;
  WipePartitionTables(*zeroWrite, 4000000, 512, second.Log());
  EXPECT_THAT(
      second.log,
      ElementsAre(
          "[ERROR] パーティションテーブル領域 (オフセット 0 バイト) のゼロクリア書き込みに失敗しました。",
          "[ERROR] パーティションテーブル破棄後のフラッシュ (書き込み確定) に失敗しました。"));
  EXPECT_EQ(zeroWrite->writeCalls, 2);  // the backup area is still wiped
}

}  // namespace
}  // namespace tvde
