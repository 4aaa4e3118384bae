// Write, detect and erase on real block devices: loop devices this test attaches to its own
// image files (Linux, root only), with 512- and 4096-byte logical sectors.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "stamp/stamp_detect.h"
#include "stamp/stamp_writer.h"
#include "stamp_test_support.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::ReadWholeFile;
using testing::SamplePayload;
using testing::SyntheticPrograms;
using testing::TempDir;
using testing::WriteWholeFile;

std::string RunCapture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr)
    out += buffer;
  if (pclose(pipe) != 0) return {};
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
    out.pop_back();
  return out;
}

// A loop device over one of our own files, detached again whatever happens.
class LoopDevice {
 public:
  LoopDevice(const std::string& file, uint32_t sectorSize) {
    path_ = RunCapture("losetup --find --show --sector-size " + std::to_string(sectorSize) + " '" +
                       file + "' 2>/dev/null");
    struct stat st {};
    if (!path_.empty() && (stat(path_.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))) path_.clear();
  }
  ~LoopDevice() {
    if (!path_.empty()) RunCapture("losetup -d '" + path_ + "'");
  }
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

class StampLoopDeviceTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(StampLoopDeviceTest, WriteDetectEraseOnALoopDevice) {
  if (geteuid() != 0) {
    GTEST_SKIP() << "SKIPPED: loop devices need root; the stamp was not tried on a block device";
  }
  const uint32_t sector = GetParam();
  TempDir dir;
  constexpr size_t kSize = 4 << 20;
  const std::string file = (dir.path() / "backing.img").string();
  WriteWholeFile(dir.File("backing.img"), std::vector<uint8_t>(kSize, 0xEE));
  std::vector<uint8_t> content;
  {
    LoopDevice loop(file, sector);
    if (loop.path().empty()) {
      GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device (sector size " << sector
                   << "); the stamp was not tried on a block device";
    }
    DiskInfo disk;
    disk.devicePath = Utf8ToWide(loop.path());
    disk.bytesPerSector = sector;
    disk.sizeBytes = kSize;
    disk.safetyStatus = SafetyStatus::Erasable;
    SyntheticPrograms programs;

    ASSERT_TRUE(WriteDiskStamp(disk, SamplePayload(), {}, programs.view()));
    const StampPayload found = DetectDiskStamp(disk, {});
    EXPECT_EQ(found.incomplete, 0);
    EXPECT_EQ(found.certificateId, L"TVDE-20261023-A1B2C3");
    EXPECT_EQ(found.hardware.storageController, L"Standard NVM Express Controller");

    content = ReadWholeFile(dir.File("backing.img"));
    ASSERT_EQ(content.size(), kSize);
    EXPECT_EQ(std::string(content.begin() + 512, content.begin() + 526), "TVDE_STAMP_V2|");
    EXPECT_EQ(content[0x8000 + 0x1FE], 0x55);
    EXPECT_EQ(content[131072], 0xEE);

    ASSERT_TRUE(EraseDiskStamp(disk, {}));
    EXPECT_EQ(DetectDiskStamp(disk, {}).incomplete, 1);
  }
  content = ReadWholeFile(dir.File("backing.img"));
  ASSERT_EQ(content.size(), kSize);
  EXPECT_TRUE(AllZero(content, 0, 131072));
  EXPECT_EQ(content[131072], 0xEE);
  EXPECT_EQ(content.back(), 0xEE);
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, StampLoopDeviceTest, ::testing::Values(512u, 4096u));

}  // namespace
}  // namespace tvde
