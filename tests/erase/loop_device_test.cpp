// The exclusive claim of a real block device: a loop device this test attaches over its own
// image file, never any other device. Needs root and losetup; skips with a message otherwise.
// Whole jobs and the refusal of mounted devices on loop devices are the console tool's tests.
#include <fcntl.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "engine_recorder.h"
#include "erase/volume_lock.h"
#include "support/file_bytes.h"
#include "support/loop_device.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using namespace tvde::testing;

TEST(LoopDevice, ExclusiveClaimHoldsTheDiskUntilReleasedAndAnImageHasNothingToLock) {
  if (const std::string why = LoopDevicesUnavailable(); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 2 << 20, 0);
  const LoopDevice loop((dir.path() / "disk.img").string(), 4096);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
  DiskInfo disk;
  disk.devicePath = Utf8ToWide(loop.path());
  EngineRecorder recorder;
  VolumeLockList list = LockAndDismountVolumes(disk, recorder.Log());
  EXPECT_THAT(recorder.log, ::testing::ElementsAre("[SAFETY] デバイス " + loop.path() +
                                                   " を排他ロックしました。"));
  EXPECT_EQ(list.locks.size(), 1u);
  EXPECT_TRUE(list.inUse.empty());
  EXPECT_EQ(open(loop.path().c_str(), O_RDONLY | O_EXCL), -1);
  EXPECT_EQ(errno, EBUSY);
  ReleaseVolumes(list);
  const int fd = open(loop.path().c_str(), O_RDONLY | O_EXCL);
  EXPECT_GE(fd, 0);
  if (fd >= 0) close(fd);

  disk.devicePath = dir.File("disk.img");
  EXPECT_TRUE(LockAndDismountVolumes(disk, recorder.Log()).locks.empty());
  EXPECT_EQ(recorder.log.size(), 1u);
}

}  // namespace
}  // namespace tvde
