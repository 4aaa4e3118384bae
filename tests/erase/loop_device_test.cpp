// The engine's own use of real block devices: loop devices this test creates over its own image
// files, never any other device. The TRIM request and the length of a block device, the
// exclusive claim, and a mounted partition found in use (also by the stamp operations). Needs
// root and losetup; skips with a message otherwise. Whole jobs on loop devices run in the console
// tool's tests.
#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "base/byte_order.h"
#include "base/page_buffer.h"
#include "base/text.h"
#include "engine_recorder.h"
#include "erase/device_preparation.h"
#include "erase/volume_lock.h"
#include "stamp/stamp_writer.h"
#include "support/file_bytes.h"
#include "support/loop_device.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using ::testing::ElementsAre;
using testing::EngineRecorder;
using testing::LoopDevice;
using testing::TempDir;
using testing::WriteFilledFile;

constexpr uint64_t kMiB = 1024 * 1024;

#define REQUIRE_LOOP_DEVICES()                                 \
  do {                                                         \
    const std::string why = testing::LoopDevicesUnavailable(); \
    if (!why.empty()) GTEST_SKIP() << why;                     \
  } while (0)

TEST(LoopDevice, TrimAndLengthOfABlockDevice) {
  REQUIRE_LOOP_DEVICES();
  for (const uint32_t sector : {512u, 4096u}) {
    SCOPED_TRACE(sector);
    constexpr uint64_t kSize = 6 * kMiB + 4096;
    TempDir dir;
    WriteFilledFile(dir.path() / "disk.img", kSize, 0x5A);
    LoopDevice loop((dir.path() / "disk.img").string(), sector);
    if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
    DeviceOpenOptions options;
    options.access = DeviceAccess::ReadWrite;
    options.sectorSize = sector;
    auto opened = OpenDevice(Utf8ToWide(loop.path()), options);
    ASSERT_NE(opened.device, nullptr) << opened.error;
    uint64_t length = 0;
    ASSERT_TRUE(opened.device->QueryLength(length));
    EXPECT_EQ(length, kSize);

    EngineRecorder recorder;
    SendTrimForWholeDisk(*opened.device, kSize, recorder.Log());
    EXPECT_THAT(
        recorder.log,
        ElementsAre(
            "[NIST 800-88 / SSD] ストレージコントローラへ全LBA領域 TRIM / Deallocate 通知を発行しました。"));
    PageBuffer sample = PageBuffer::Allocate(4096);
    ASSERT_TRUE(opened.device->Seek(kMiB));
    ASSERT_EQ(opened.device->Read(sample.span()).bytes, 4096u);
    EXPECT_TRUE(testing::AllZero(sample.span(), 0, 4096));  // discarded blocks read as zeroes
  }
}

TEST(LoopDevice, ExclusiveClaimHoldsTheDiskUntilReleased) {
  REQUIRE_LOOP_DEVICES();
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 2 * kMiB, 0);
  LoopDevice loop((dir.path() / "disk.img").string(), 512);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
  DiskInfo disk;
  disk.devicePath = Utf8ToWide(loop.path());
  EngineRecorder recorder;
  VolumeLockList list = LockAndDismountVolumes(disk, recorder.Log());
  EXPECT_THAT(recorder.log,
              ElementsAre("[SAFETY] デバイス " + loop.path() + " を排他ロックしました。"));
  EXPECT_EQ(list.locks.size(), 1u);
  EXPECT_TRUE(list.inUse.empty());

  int fd = open(loop.path().c_str(), O_RDONLY | O_EXCL);
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(errno, EBUSY);
  ReleaseVolumes(list);
  fd = open(loop.path().c_str(), O_RDONLY | O_EXCL);
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);
}

TEST(LoopDevice, MountedPartitionOfTheDiskIsReportedInUse) {
  REQUIRE_LOOP_DEVICES();
  TempDir dir;
  const auto image = dir.path() / "disk.img";
  // One MBR partition (type 0x83) from LBA 2048 to the end.
  std::vector<uint8_t> bytes(16 * kMiB, 0);
  bytes[446 + 4] = 0x83;
  PutLe32(std::span(bytes).subspan(446 + 8), 2048);
  PutLe32(std::span(bytes).subspan(446 + 12), 16 * 2048 - 2048);
  bytes[510] = 0x55;
  bytes[511] = 0xAA;
  testing::WriteWholeFile(image, bytes);
  LoopDevice loop(image.string(), 512, true);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
  const std::string partition = loop.path() + "p1";
  // Kernels without the MBR parser leave the partition to user space.
  if (!std::filesystem::exists(partition)) testing::RunShell("partx -a " + loop.path());
  if (!std::filesystem::exists(partition)) {
    GTEST_SKIP() << "SKIPPED: no partition device " << partition << " appeared";
  }
  const auto mountPoint = dir.path() / "mnt";
  std::filesystem::create_directory(mountPoint);
  testing::Mount mount(partition, mountPoint.string());
  if (!mount.mounted()) GTEST_SKIP() << "SKIPPED: could not make and mount ext2 on " << partition;

  DiskInfo disk;
  disk.devicePath = Utf8ToWide(loop.path());
  EngineRecorder recorder;
  VolumeLockList list = LockAndDismountVolumes(disk, recorder.Log());
  EXPECT_THAT(list.inUse, ElementsAre(Utf8ToWide(partition + " (" + mountPoint.string() + ")")));
  EXPECT_TRUE(list.locks.empty());
  EXPECT_THAT(recorder.log,
              ElementsAre("[SAFETY] 対象ディスク上のファイルシステム " + partition + " が " +
                              mountPoint.string() + " にマウントされています。",
                          "[ERROR] デバイス " + loop.path() +
                              " はシステムで使用中のため排他ロックできませんでした。"));
  list = {};

  // Stamp operations take the volumes away the same way: nothing is written under the mount.
  disk.safetyStatus = SafetyStatus::Erasable;
  recorder.log.clear();
  EXPECT_FALSE(WriteDiskStamp(disk, StampPayload{}, recorder.Log()));
  EXPECT_FALSE(EraseDiskStamp(disk, recorder.Log()));
  EXPECT_EQ(
      recorder.log.back(),
      "[SAFETY] 対象ディスク上のボリュームを排他ロックできないため、スタンプ操作を中止しました。");
  const std::vector<uint8_t> after = testing::ReadWholeFile(image);
  ASSERT_GE(after.size(), 131072u);
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + 131072, bytes.begin()));
}

TEST(VolumeCheck, ImageFileHasNothingToLock) {
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 4096, 0);
  DiskInfo disk;
  disk.devicePath = dir.File("disk.img");
  EngineRecorder recorder;
  VolumeLockList list = LockAndDismountVolumes(disk, recorder.Log());
  EXPECT_TRUE(list.locks.empty());
  EXPECT_TRUE(list.inUse.empty());
  EXPECT_TRUE(recorder.log.empty());
}

}  // namespace
}  // namespace tvde
