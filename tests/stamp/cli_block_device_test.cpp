// The console tool on loop devices this test attaches itself (Linux, root only): block devices
// need --block-device, and mounted ones are refused.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "stamp_test_support.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using testing::SyntheticPrograms;
using testing::TempDir;
using testing::WriteWholeFile;

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr)
    out += buffer;
  if (pclose(pipe) != 0) return {};
  while (!out.empty() && out.back() == '\n')
    out.pop_back();
  return out;
}

bool IsBlockDevice(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

// A loop device over our own file, always detached at the end.
class Loop {
 public:
  explicit Loop(const std::string& file, uint32_t sectorSize = 512) {
    path_ = Capture("losetup --find --show --sector-size " + std::to_string(sectorSize) + " '" +
                    file + "' 2>/dev/null");
    if (!path_.empty() && !IsBlockDevice(path_)) path_.clear();
  }
  ~Loop() {
    if (!path_.empty()) Capture("losetup -d '" + path_ + "'");
  }
  Loop(const Loop&) = delete;
  Loop& operator=(const Loop&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A file system mounted on a directory of ours, always unmounted at the end.
class Mount {
 public:
  Mount(const std::string& device, const std::string& directory) : directory_(directory) {
    mounted_ = Capture("mkfs.ext2 -q -F '" + device + "' >/dev/null 2>&1 && mount '" + device +
                       "' '" + directory + "' 2>/dev/null && echo mounted") == "mounted";
  }
  ~Mount() {
    if (mounted_) Capture("umount '" + directory_ + "'");
  }
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  bool mounted() const { return mounted_; }

 private:
  std::string directory_;
  bool mounted_ = false;
};

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

class CliBlockDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "SKIPPED: loop devices need root";
    file_ = (dir_.path() / "backing.img").string();
    WriteWholeFile(dir_.File("backing.img"), std::vector<uint8_t>(8 << 20, 0));
  }

  CliRun Cli(std::vector<std::string> args) {
    std::ostringstream out, err;
    cli::CliServices services;
    services.programs = programs_.view();
    const int code = cli::RunCli(args, out, err, services);
    return {code, out.str(), err.str()};
  }

  TempDir dir_;
  std::string file_;
  SyntheticPrograms programs_;
};

TEST_F(CliBlockDeviceTest, WritesAnUnmountedLoopDeviceOnlyWhenAskedTo) {
  Loop loop(file_);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";

  const CliRun refused = Cli({"stamp-write", "--out", loop.path()});
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.err.find("pass --block-device"), std::string::npos) << refused.err;

  const CliRun written =
      Cli({"stamp-write", "--out", loop.path(), "--block-device", "--field", "certificateId=LOOP"});
  ASSERT_EQ(written.code, 0) << written.err;
  const CliRun read = Cli({"stamp-read", loop.path()});
  EXPECT_EQ(read.code, 0);
  EXPECT_NE(read.out.find("\ncertificateId=LOOP\n"), std::string::npos);

  EXPECT_EQ(Cli({"stamp-erase", loop.path()}).code, 2);
  EXPECT_EQ(Cli({"stamp-read", loop.path()}).code, 0);
  EXPECT_EQ(Cli({"stamp-erase", loop.path(), "--block-device"}).code, 0);
  EXPECT_EQ(Cli({"stamp-read", loop.path()}).code, 1);
}

TEST_F(CliBlockDeviceTest, TakesTheDevicesLogicalSectorSize) {
  Loop loop(file_, 4096);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
  const CliRun small =
      Cli({"stamp-write", "--out", loop.path(), "--block-device", "--sector-size", "512"});
  EXPECT_EQ(small.code, 2);
  EXPECT_NE(small.err.find("smaller than the logical sector size"), std::string::npos);
  const CliRun written = Cli({"stamp-write", "--out", loop.path(), "--block-device"});
  ASSERT_EQ(written.code, 0) << written.err;
  EXPECT_NE(written.out.find("(131072 bytes, sector size 4096)"), std::string::npos);
  EXPECT_EQ(Cli({"stamp-read", loop.path()}).code, 0);
}

TEST_F(CliBlockDeviceTest, RefusesAMountedDevice) {
  Loop loop(file_);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
  const std::string mountPoint = (dir_.path() / "mnt").string();
  ASSERT_EQ(mkdir(mountPoint.c_str(), 0700), 0);
  Mount mount(loop.path(), mountPoint);
  if (!mount.mounted()) GTEST_SKIP() << "SKIPPED: could not make and mount ext2 on " << loop.path();

  const CliRun run = Cli({"stamp-write", "--out", loop.path(), "--block-device"});
  EXPECT_EQ(run.code, 2);
  EXPECT_NE(run.err.find("is in use (mounted at " + mountPoint + ")"), std::string::npos)
      << run.err;
  EXPECT_EQ(Cli({"stamp-erase", loop.path(), "--block-device"}).code, 2);
  // Reading is harmless and stays allowed.
  EXPECT_EQ(Cli({"stamp-read", loop.path()}).code, 1);
}

}  // namespace
}  // namespace tvde
