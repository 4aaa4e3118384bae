// The exclusive claim of a real block device and a mounted partition found in use (also by the
// stamp operations): a loop device this test attaches over its own image file, never any other
// device. Needs root and losetup; skips with a message otherwise. Whole jobs and mounted whole
// devices on loop devices are the console tool's tests.
#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "base/byte_order.h"
#include "engine_recorder.h"
#include "erase/volume_lock.h"
#include "stamp/stamp_writer.h"
#include "support/file_bytes.h"
#include "support/loop_device.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using ::testing::ElementsAre;

TEST(LoopDevice, TheClaimHoldsTheDiskUntilReleasedAndAMountedPartitionKeepsEveryWriterAway) {
  if (const std::string why = LoopDevicesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  std::vector<uint8_t> bytes(16 << 20, 0);  // one Linux partition from LBA 2048 to the end
  bytes[446 + 4] = 0x83;
  PutLe32(std::span(bytes).subspan(446 + 8), 2048);
  PutLe32(std::span(bytes).subspan(446 + 12), 16 * 2048 - 2048);
  bytes[510] = 0x55;
  bytes[511] = 0xAA;
  WriteWholeFile(dir.path() / "disk.img", bytes);
  DiskInfo disk;
  disk.devicePath = dir.File("disk.img");
  disk.safetyStatus = SafetyStatus::Erasable;
  EngineRecorder recorder;
  EXPECT_TRUE(LockAndDismountVolumes(disk, recorder.Log()).locks.empty());  // an image file
  const LoopDevice loop((dir.path() / "disk.img").string(), 512, true);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
  disk.devicePath = Utf8ToWide(loop.path());
  VolumeLockList list = LockAndDismountVolumes(disk, recorder.Log());
  EXPECT_THAT(recorder.log,
              ElementsAre("[SAFETY] デバイス " + loop.path() + " を排他ロックしました。"));
  EXPECT_EQ(list.locks.size(), 1u);
  EXPECT_TRUE(list.inUse.empty());
  EXPECT_EQ(open(loop.path().c_str(), O_RDONLY | O_EXCL), -1);
  EXPECT_EQ(errno, EBUSY);
  ReleaseVolumes(list);
  const int fd = open(loop.path().c_str(), O_RDONLY | O_EXCL);
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);

  // Kernels without the MBR parser leave the partition to user space.
  const std::string partition = loop.path() + "p1", at = (dir.path() / "mnt").string();
  if (!std::filesystem::exists(partition)) RunShell("partx -a " + loop.path());
  std::filesystem::create_directory(at);
  const Mount mount(partition, at);
  if (!mount.mounted()) GTEST_SKIP() << "SKIPPED: no partition device to mount at " << partition;
  recorder.log.clear();
  list = LockAndDismountVolumes(disk, recorder.Log());
  const std::string reason = "it is in use (mounted at " + at + ")";
  EXPECT_THAT(list.inUse, ElementsAre(Utf8ToWide(reason)));
  EXPECT_TRUE(list.locks.empty());
  EXPECT_THAT(recorder.log,
              ElementsAre("[SAFETY] 対象ディスクは使用中のため書き込めません: " + reason,
                          "[ERROR] デバイス " + loop.path() +
                              " はシステムで使用中のため排他ロックできませんでした。"));
  // The stamp write and erase take the volumes away the same way: nothing is written.
  EXPECT_FALSE(WriteDiskStamp(disk, StampPayload{}, recorder.Log()));
  EXPECT_FALSE(EraseDiskStamp(disk, recorder.Log()));
  EXPECT_EQ(recorder.log.back(), WideToUtf8(kLogStampVolumesInUse));
  const std::vector<uint8_t> after = ReadWholeFile(dir.path() / "disk.img");
  ASSERT_GE(after.size(), 131072u);
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + 131072, bytes.begin()));
}

}  // namespace
}  // namespace tvde
