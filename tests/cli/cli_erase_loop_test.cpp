// The erase command on loop devices this test attaches to its own files (Linux, root only):
// the typed confirmation, the device's sector size, simulation without confirmation, and
// mounted or attached targets that are refused.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "cli_test_fixture.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::CliFixture;
using testing::CliRun;
using testing::Contains;
using testing::SummaryValue;

constexpr size_t kBackingBytes = 8 << 20;

std::string Shell(const std::string& command) {
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

// A loop device over one of our own files, always detached at the end.
class Loop {
 public:
  Loop(const std::string& file, uint32_t sectorSize) {
    path_ = Shell("losetup --find --show --sector-size " + std::to_string(sectorSize) + " '" +
                  file + "' 2>/dev/null");
    struct stat st {};
    if (!path_.empty() && (stat(path_.c_str(), &st) != 0 || !S_ISBLK(st.st_mode))) path_.clear();
  }
  ~Loop() {
    if (!path_.empty()) Shell("losetup -d '" + path_ + "'");
  }
  Loop(const Loop&) = delete;
  Loop& operator=(const Loop&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A file system on the device, mounted on a folder of ours, always unmounted at the end.
class Mount {
 public:
  Mount(const std::string& device, const std::string& folder) : folder_(folder) {
    mounted_ = Shell("mkfs.ext2 -q -F '" + device + "' >/dev/null 2>&1 && mount '" + device +
                     "' '" + folder + "' 2>/dev/null && echo mounted") == "mounted";
  }
  ~Mount() {
    if (mounted_) Shell("umount '" + folder_ + "'");
  }
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  bool mounted() const { return mounted_; }

 private:
  std::string folder_;
  bool mounted_ = false;
};

class CliEraseLoop : public CliFixture, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override {
    if (geteuid() != 0) {
      GTEST_SKIP() << "SKIPPED: loop devices need root; the erase command was not tried on a "
                      "block device";
    }
  }
};

TEST_P(CliEraseLoop, ARealErasureNeedsTheTypedConfirmation) {
  const uint32_t sector = GetParam();
  const auto original = Fill("backing.img", kBackingBytes, 0x77);
  Loop loop(Path("backing.img"), sector);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
  const std::string device = loop.path();
  const std::string expected = "ERASE " + device;
  const std::vector<std::string> args = {"erase",     device,  "--real",     "--standard",
                                         "zero-fill", "--out", Path("certs")};

  CliRun run = Cli(args);
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(Contains(run.err, "is a block device; pass --block-device to write to it"))
      << run.err;

  std::vector<std::string> withFlag = args;
  withFlag.push_back("--block-device");
  run = Cli(withFlag);  // nothing can be typed
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(Contains(run.err, "needs the typed confirmation \"" + expected + "\"")) << run.err;

  for (const std::string& typed : std::vector<std::string>{
           "\n", "yes\n", "ERASE\n", "ERASE /dev/loop\n", "ERASE " + device + "1\n"}) {
    run = Cli(withFlag, typed);
    EXPECT_EQ(run.code, 2) << typed;
    EXPECT_TRUE(Contains(run.err, "Type \"" + expected + "\" and press Enter to continue: "));
    EXPECT_TRUE(Contains(run.err, "Loop Device, serial N/A, 8.0 MB (8388608 bytes, " +
                                      std::to_string(sector) + "-byte sectors)"))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "the typed confirmation does not match")) << run.err;
    EXPECT_TRUE(Contains(run.err, "nothing was written"));
  }
  std::vector<std::string> wrongFlag = withFlag;
  wrongFlag.insert(wrongFlag.end(), {"--confirm", "ERASE /dev/sda"});
  EXPECT_EQ(Cli(wrongFlag).code, 2);
  EXPECT_EQ(Read("backing.img"), original);
  EXPECT_FALSE(Exists("certs"));

  run = Cli(withFlag, "  erase " + device + "\r\n");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(SummaryValue(run.out, "Target"), device);
  EXPECT_EQ(FilesIn("certs").size(), 3u);
  const auto image = Read("backing.img");
  ASSERT_EQ(image.size(), kBackingBytes);
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(testing::Bytes(image, 512, 15 + id.size()), "TVDE_STAMP_V2|" + id + "|");
  EXPECT_TRUE(AllZero(image, 131072, image.size()));
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, CliEraseLoop, ::testing::Values(512u, 4096u));

class CliEraseLoopRefusals : public CliEraseLoop {};

TEST_F(CliEraseLoopRefusals, SimulationNeedsNoConfirmationAndOpensNothing) {
  const auto original = Fill("backing.img", kBackingBytes, 0x78);
  Loop loop(Path("backing.img"), 512);
  if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
  services_.jobEnvironment.openDevice = [](const std::wstring&, const DeviceOpenOptions&) {
    ADD_FAILURE() << "a simulation opened the device";
    return DeviceOpenResult{nullptr, 1};
  };
  const CliRun run = Cli({"erase", loop.path(), "--block-device", "--standard", "zero-fill",
                          "--verify", "none", "--no-reports"});
  EXPECT_EQ(run.code, 0) << run.err;
  EXPECT_TRUE(run.err.empty()) << run.err;
  EXPECT_EQ(Read("backing.img"), original);
}

TEST_F(CliEraseLoopRefusals, MountedDevicesAndAttachedImageFilesAreRefused) {
  const auto original = Fill("backing.img", kBackingBytes, 0x79);
  {
    Loop loop(Path("backing.img"), 512);
    if (loop.path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device";
    // The image file under a loop device is as good as in use.
    const CliRun attached =
        Cli({"erase", Path("backing.img"), "--real", "--standard", "2", "--out", Path("certs")});
    EXPECT_EQ(attached.code, 2);
    EXPECT_TRUE(Contains(attached.err, "refusing to write to '" + Path("backing.img") +
                                           "': it is attached to the loop device " + loop.path()))
        << attached.err;
    EXPECT_EQ(Read("backing.img"), original);

    std::filesystem::create_directory(dir_.path() / "mnt");
    Mount mount(loop.path(), Path("mnt"));
    if (!mount.mounted()) GTEST_SKIP() << "SKIPPED: mkfs.ext2 or mount failed";
    const CliRun mounted = Cli({"erase", loop.path(), "--real", "--block-device", "--confirm",
                                "ERASE " + loop.path(), "--out", Path("certs")});
    EXPECT_EQ(mounted.code, 2);
    EXPECT_TRUE(Contains(mounted.err, "it is in use (mounted at " + Path("mnt") + ")"))
        << mounted.err;
    // A mounted device is refused even for a simulation.
    EXPECT_EQ(Cli({"erase", loop.path(), "--block-device", "--no-reports"}).code, 2);
  }
  EXPECT_FALSE(Exists("certs"));
}

}  // namespace
}  // namespace tvde
