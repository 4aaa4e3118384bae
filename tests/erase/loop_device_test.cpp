// The engine on real block devices: loop devices this test creates over its own image files
// (512- and 4096-byte logical sectors), never any other device. Needs root and losetup;
// skips with a message otherwise.
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "base/byte_order.h"
#include "base/page_buffer.h"
#include "base/text.h"
#include "engine_recorder.h"
#include "erase/device_preparation.h"
#include "erase/overwrite_pass.h"
#include "erase/verification.h"
#include "erase/volume_lock.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using testing::DiskConfig;
using ::testing::ElementsAre;
using testing::EngineRecorder;
using testing::TempDir;

constexpr uint64_t kMiB = 1024 * 1024;

int RunCommand(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr)
    output += buffer;
  while (!output.empty() && output.back() == '\n')
    output.pop_back();
  return pclose(pipe);
}

// A loop device over an image file, detached again on destruction.
class LoopDevice {
 public:
  LoopDevice(const std::string& image, uint32_t sector, bool partitions) : partitions_(partitions) {
    std::string command = "losetup --find --show";
    if (sector != 512) command += " --sector-size " + std::to_string(sector);
    if (partitions) command += " --partscan";
    std::string out;
    if (RunCommand(command + " '" + image + "'", out) == 0 && out.rfind("/dev/loop", 0) == 0) {
      path_ = out;
    } else {
      error_ = out;
    }
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  ~LoopDevice() {
    std::string ignored;
    if (path_.empty()) return;
    if (partitions_) RunCommand("partx -d " + path_, ignored);
    RunCommand("losetup -d " + path_, ignored);
  }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

 private:
  std::string path_;
  std::string error_;
  bool partitions_;
};

#define REQUIRE_LOOP_DEVICES()                                                  \
  do {                                                                          \
    if (geteuid() != 0) GTEST_SKIP() << "SKIPPED: loop-device tests need root"; \
    std::string probe;                                                          \
    if (RunCommand("losetup --version", probe) != 0)                            \
      GTEST_SKIP() << "SKIPPED: losetup is not available (" << probe << ")";    \
  } while (0)

void CreateImage(const std::filesystem::path& path, uint64_t size, uint8_t fill) {
  std::ofstream out(path, std::ios::binary);
  const std::vector<char> bytes(static_cast<size_t>(size), static_cast<char>(fill));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadImage(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

bool AllEqual(const std::vector<uint8_t>& bytes, uint64_t from, uint64_t to, uint8_t value) {
  return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                     bytes.begin() + static_cast<std::ptrdiff_t>(to),
                     [&](uint8_t b) { return b == value; });
}

TEST(LoopDevice, TrimPassesWipeAndVerificationOnRealBlockDevices) {
  REQUIRE_LOOP_DEVICES();
  for (const uint32_t sector : {512u, 4096u}) {
    SCOPED_TRACE(sector);
    constexpr uint64_t kSize = 6 * kMiB + 4096;
    TempDir dir;
    const auto image = dir.path() / "disk.img";
    CreateImage(image, kSize, 0x5A);
    std::vector<uint8_t> before;
    {
      LoopDevice loop(image.string(), sector, false);
      if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup failed: " << loop.error();
      DeviceOpenOptions options;
      options.access = DeviceAccess::ReadWrite;
      options.sectorSize = sector;
      auto opened = OpenDevice(Utf8ToWide(loop.path()), options);
      ASSERT_NE(opened.device, nullptr) << opened.error;
      Device& device = *opened.device;
      uint64_t length = 0;
      ASSERT_TRUE(device.QueryLength(length));
      EXPECT_EQ(length, kSize);

      EngineRecorder recorder;
      SendTrimForWholeDisk(device, kSize, recorder.Log());
      EXPECT_THAT(
          recorder.log,
          ElementsAre(
              "[NIST 800-88 / SSD] ストレージコントローラへ全LBA領域 TRIM / Deallocate 通知を発行しました。"));
      PageBuffer sample = PageBuffer::Allocate(4096);
      ASSERT_TRUE(device.Seek(kMiB));
      ASSERT_EQ(device.Read(sample.span()).bytes, 4096u);
      EXPECT_EQ(sample.data()[0], 0);  // discarded blocks read as zeroes

      const EraseJobConfig config = DiskConfig(kSize, sector);
      const PassPlan plan = BuildPassPlan(EraseStandard::Dod522022M);  // 0x00, 0xFF, random
      CancelFlag cancel{0};
      for (const PassSpec& pass : plan) {
        ASSERT_EQ(RunHardwarePass(device, config, pass, 3, cancel, recorder.Progress(), {}),
                  kStatusCompleted);
      }
      ASSERT_TRUE(device.Flush());
      before = ReadImage(image);
      WipePartitionTables(device, kSize, sector, recorder.Log());
      EXPECT_EQ(recorder.log.back().rfind("[PARTITION] ", 0), 0u);
      std::wstring verdict;
      EXPECT_EQ(VerifyErasure(&device, config, &plan.back(), cancel, {}, {}, verdict),
                kStatusCompleted);
    }
    // The random pass reached the backing file; the wipe zeroed the first and last MiB.
    ASSERT_EQ(before.size(), kSize);
    EXPECT_FALSE(AllEqual(before, 0, 4096, before[0]));
    const auto after = ReadImage(image);
    ASSERT_EQ(after.size(), kSize);
    const uint64_t backup = *BackupWipeOffset(kSize, sector);
    EXPECT_TRUE(AllEqual(after, 0, kMiB, 0));
    EXPECT_TRUE(AllEqual(after, backup, backup + kMiB, 0));
    EXPECT_TRUE(std::equal(after.begin() + kMiB, after.begin() + backup, before.begin() + kMiB));
  }
}

TEST(LoopDevice, ExclusiveClaimHoldsTheDiskUntilReleased) {
  REQUIRE_LOOP_DEVICES();
  TempDir dir;
  CreateImage(dir.path() / "disk.img", 2 * kMiB, 0);
  LoopDevice loop((dir.path() / "disk.img").string(), 512, false);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup failed: " << loop.error();
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
  CreateImage(image, 16 * kMiB, 0);
  {
    // One MBR partition (type 0x83) from LBA 2048 to the end.
    std::vector<uint8_t> mbr(512, 0);
    mbr[446 + 4] = 0x83;
    PutLe32(std::span(mbr).subspan(446 + 8), 2048);
    PutLe32(std::span(mbr).subspan(446 + 12), 16 * 2048 - 2048);
    mbr[510] = 0x55;
    mbr[511] = 0xAA;
    std::fstream file(image, std::ios::binary | std::ios::in | std::ios::out);
    file.write(reinterpret_cast<const char*>(mbr.data()), 512);
  }
  LoopDevice loop(image.string(), 512, true);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup failed: " << loop.error();
  const std::string partition = loop.path() + "p1";
  std::string out;
  // Kernels without the MBR parser leave the partition to user space.
  if (!std::filesystem::exists(partition)) RunCommand("partx -a " + loop.path(), out);
  if (!std::filesystem::exists(partition)) {
    GTEST_SKIP() << "SKIPPED: no partition device " << partition << " appeared: " << out;
  }
  const auto mountPoint = dir.path() / "mnt";
  std::filesystem::create_directory(mountPoint);
  if (RunCommand("mkfs.ext4 -q -F " + partition, out) != 0) {
    GTEST_SKIP() << "SKIPPED: cannot format " << partition << ": " << out;
  }
  if (mount(partition.c_str(), mountPoint.c_str(), "ext4", 0, nullptr) != 0) {
    GTEST_SKIP() << "SKIPPED: mounting is not allowed here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount(path.c_str()); }
  } unmount{mountPoint.string()};

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
}

TEST(VolumeCheck, ImageFileHasNothingToLock) {
  TempDir dir;
  CreateImage(dir.path() / "disk.img", 4096, 0);
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
