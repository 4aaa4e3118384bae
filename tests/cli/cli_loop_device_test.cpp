// The console tool on loop devices this test attaches to its own files (Linux, root only):
// the typed confirmation of an erasure, the device's sector size, the --block-device flag of
// the stamp commands, simulation without confirmation, and mounted or attached targets that
// are refused.
#include <gtest/gtest.h>

#include "cli_test_fixture.h"
#include "support/loop_device.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::CliFixture;
using testing::CliRun;
using testing::Contains;
using testing::LoopDevice;
using testing::SummaryValue;

constexpr size_t kBackingBytes = 8 << 20;

class CliLoop : public CliFixture, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override {
    const std::string why = testing::LoopDevicesUnavailable();
    if (!why.empty()) GTEST_SKIP() << why;
  }
};

#define REQUIRE_ATTACHED(loop) \
  if ((loop).path().empty()) GTEST_SKIP() << "SKIPPED: losetup could not attach a loop device"

TEST_P(CliLoop, ARealErasureNeedsTheTypedConfirmation) {
  const uint32_t sector = GetParam();
  const auto original = Fill("backing.img", kBackingBytes, 0x77);
  LoopDevice loop(Path("backing.img"), sector);
  REQUIRE_ATTACHED(loop);
  const std::string device = loop.path();
  const std::string expected = "ERASE " + device;
  // Purge: TRIM, a random pass and zeroes, all on the block device.
  const std::vector<std::string> args = {"erase",      device,  "--real",     "--standard",
                                         "nist-purge", "--out", Path("certs")};

  CliRun run = Cli(args);
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(Contains(run.err, "is a block device; pass --block-device to write to it"))
      << run.err;

  std::vector<std::string> withFlag = args;
  withFlag.push_back("--block-device");
  run = Cli(withFlag);  // nothing can be typed
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(Contains(run.err, "needs the typed confirmation \"" + expected + "\"")) << run.err;

  for (const std::string& typed : {std::string("\n"), std::string("ERASE\n"), expected + "1\n"}) {
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
  EXPECT_TRUE(Contains(run.out, "] [NIST 800-88 / SSD] ストレージコントローラへ全LBA領域 TRIM"));
  EXPECT_EQ(FilesIn("certs").size(), 3u);
  const auto image = Read("backing.img");
  ASSERT_EQ(image.size(), kBackingBytes);
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(testing::Bytes(image, 512, 15 + id.size()), "TVDE_STAMP_V2|" + id + "|");
  EXPECT_TRUE(AllZero(image, 131072, image.size()));
}

TEST_P(CliLoop, StampCommandsWriteOnlyWithTheFlagAndInTheDevicesSectorSize) {
  const uint32_t sector = GetParam();
  Fill("backing.img", kBackingBytes, 0xEE);
  LoopDevice loop(Path("backing.img"), sector);
  REQUIRE_ATTACHED(loop);
  const std::string device = loop.path();

  const CliRun refused = Cli({"stamp-write", "--out", device});
  EXPECT_EQ(refused.code, 2);
  EXPECT_TRUE(Contains(refused.err, "pass --block-device")) << refused.err;
  if (sector == 4096) {
    const CliRun small =
        Cli({"stamp-write", "--out", device, "--block-device", "--sector-size", "512"});
    EXPECT_EQ(small.code, 2);
    EXPECT_TRUE(Contains(small.err, "smaller than the logical sector size")) << small.err;
  }
  EXPECT_EQ(Read("backing.img"), std::vector<uint8_t>(kBackingBytes, 0xEE));

  const CliRun written =
      Cli({"stamp-write", "--out", device, "--block-device", "--field", "certificateId=LOOP"});
  ASSERT_EQ(written.code, 0) << written.err;
  EXPECT_TRUE(Contains(written.out, "(131072 bytes, sector size " + std::to_string(sector) + ")"));
  auto image = Read("backing.img");
  ASSERT_EQ(image.size(), kBackingBytes);
  EXPECT_EQ(testing::Bytes(image, 512, 19), "TVDE_STAMP_V2|LOOP|");
  EXPECT_EQ(image[0x8000 + 0x1FE], 0x55);
  EXPECT_EQ(image[131072], 0xEE);  // nothing past the stamp area is touched
  const CliRun read = Cli({"stamp-read", device});
  EXPECT_EQ(read.code, 0);
  EXPECT_TRUE(Contains(read.out, "\ncertificateId=LOOP\n"));

  EXPECT_EQ(Cli({"stamp-erase", device}).code, 2);
  EXPECT_EQ(Cli({"stamp-read", device}).code, 0);
  EXPECT_EQ(Cli({"stamp-erase", device, "--block-device"}).code, 0);
  EXPECT_EQ(Cli({"stamp-read", device}).code, 1);
  image = Read("backing.img");
  EXPECT_TRUE(AllZero(image, 0, 131072));
  EXPECT_EQ(image[131072], 0xEE);
  EXPECT_EQ(image.back(), 0xEE);
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, CliLoop, ::testing::Values(512u, 4096u));

class CliLoopRefusals : public CliLoop {};

TEST_F(CliLoopRefusals, SimulationNeedsNoConfirmationAndOpensNothing) {
  const auto original = Fill("backing.img", kBackingBytes, 0x78);
  LoopDevice loop(Path("backing.img"), 512);
  REQUIRE_ATTACHED(loop);
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

TEST_F(CliLoopRefusals, MountedDevicesAndAttachedImageFilesAreRefused) {
  const auto original = Fill("backing.img", kBackingBytes, 0x79);
  {
    LoopDevice loop(Path("backing.img"), 512);
    REQUIRE_ATTACHED(loop);
    // The image file under a loop device is as good as in use.
    const CliRun attached =
        Cli({"erase", Path("backing.img"), "--real", "--standard", "2", "--out", Path("certs")});
    EXPECT_EQ(attached.code, 2);
    EXPECT_TRUE(Contains(attached.err, "refusing to write to '" + Path("backing.img") +
                                           "': it is attached to the loop device " + loop.path()))
        << attached.err;
    EXPECT_EQ(Read("backing.img"), original);

    std::filesystem::create_directory(dir_.path() / "mnt");
    testing::Mount mount(loop.path(), Path("mnt"));
    if (!mount.mounted()) GTEST_SKIP() << "SKIPPED: mkfs.ext2 or mount failed";
    const CliRun mounted = Cli({"erase", loop.path(), "--real", "--block-device", "--confirm",
                                "ERASE " + loop.path(), "--out", Path("certs")});
    EXPECT_EQ(mounted.code, 2);
    EXPECT_TRUE(Contains(mounted.err, "it is in use (mounted at " + Path("mnt") + ")"))
        << mounted.err;
    // A mounted device is refused even for a simulation, and for the stamp commands that
    // write; reading its stamp is harmless and stays allowed.
    EXPECT_EQ(Cli({"erase", loop.path(), "--block-device", "--no-reports"}).code, 2);
    EXPECT_EQ(Cli({"stamp-write", "--out", loop.path(), "--block-device"}).code, 2);
    EXPECT_EQ(Cli({"stamp-erase", loop.path(), "--block-device"}).code, 2);
    EXPECT_EQ(Cli({"stamp-read", loop.path()}).code, 1);
  }
  EXPECT_FALSE(Exists("certs"));
}

}  // namespace
}  // namespace tvde
