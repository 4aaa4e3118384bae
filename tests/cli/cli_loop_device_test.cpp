// The console tool on loop devices attached to the test's files (Linux, root): the typed
// confirmation, the device's sector size, the stamp commands, and devices or files in use.
#include <gtest/gtest.h>

#include "base/byte_order.h"
#include "cli_test_fixture.h"
#include "support/loop_device.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::CliFixture;
using testing::CliRun;
using testing::Contains;
using testing::LoopDevice;
using testing::Quoted;
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

TEST_P(CliLoop, WritesNeedTheFlagAndTheTypedDeviceName) {
  const uint32_t sector = GetParam();
  const auto original = Fill("backing.img", kBackingBytes, 0x77);
  LoopDevice loop(Path("backing.img"), sector);
  REQUIRE_ATTACHED(loop);
  const std::string device = loop.path();
  const std::string expected = "ERASE " + device;
  // Named through a link, as /dev/disk/by-id names are: the device is known by its own name.
  std::filesystem::create_symlink(device, dir_.path() / "by-id");
  const std::vector<std::string> args = {"erase",      Path("by-id"), "--real",     "--standard",
                                         "nist-purge", "--out",       Path("certs")};
  CliRun run = Cli(args);
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(Contains(run.err, "is a block device; pass --block-device to write to it"));
  std::vector<std::string> withFlag = args;
  withFlag.push_back("--block-device");
  // A simulation needs no confirmation and opens nothing.
  services_.interposeDevice = [](std::unique_ptr<Device> opened) {
    ADD_FAILURE() << "a simulation opened the device";
    return opened;
  };
  EXPECT_EQ(Cli({"erase", device, "--block-device", "--verify", "none", "--no-reports"}).code, 0);
  services_.interposeDevice = nullptr;
  run = Cli(withFlag);  // nothing can be typed
  EXPECT_TRUE(Contains(run.err, "needs the typed confirmation \"" + expected + "\"")) << run.err;
  // The name typed must be the device's own, not the link's.
  run = Cli(withFlag, "ERASE " + Path("by-id") + "\n");
  EXPECT_EQ(run.code, 2);
  EXPECT_TRUE(Contains(run.err, "WARNING: every byte of " + device + " (named as " + Path("by-id") +
                                    ") will be destroyed"));
  EXPECT_TRUE(Contains(run.err, "Loop Device, serial N/A, 8.0 MB (8388608 bytes, " +
                                    std::to_string(sector) + "-byte sectors)"));
  EXPECT_TRUE(Contains(run.err, "the typed confirmation does not match")) << run.err;
  EXPECT_EQ(Cli({"stamp-write", "--out", device, "--block-device"}).code, 2);
  EXPECT_EQ(Read("backing.img"), original);
  EXPECT_FALSE(Exists("certs"));

  run = Cli(withFlag, "  erase " + device + "\r\n");
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_EQ(SummaryValue(run.out, "Target"), device);
  auto image = Read("backing.img");
  const std::string id = SummaryValue(run.out, "Certificate ID");
  EXPECT_EQ(testing::Bytes(image, 512, 15 + id.size()), "TVDE_STAMP_V2|" + id + "|");
  EXPECT_TRUE(AllZero(image, 131072, image.size()));

  // The stamp commands write in the device's sector size, after the same confirmation.
  if (sector == 4096) {
    EXPECT_TRUE(Contains(
        Cli({"stamp-write", "--out", device, "--block-device", "--sector-size", "512"}).err,
        "smaller than the logical sector size"));
  }
  const CliRun written = Cli({"stamp-write", "--out", device, "--block-device", "--field",
                              "certificateId=LOOP", "--confirm", expected});
  ASSERT_EQ(written.code, 0) << written.err;
  EXPECT_TRUE(Contains(written.out, "(131072 bytes, sector size " + std::to_string(sector) + ")"));
  EXPECT_TRUE(Contains(Cli({"stamp-read", device}).out, "\ncertificateId=LOOP\n"));
  EXPECT_EQ(Cli({"stamp-erase", device, "--block-device"}).code, 2);
  EXPECT_EQ(Cli({"stamp-erase", device, "--block-device"}, expected + "\n").code, 0);
  EXPECT_EQ(Cli({"stamp-read", device}).code, 1);
  image = Read("backing.img");
  EXPECT_TRUE(AllZero(image, 0, image.size()));
}

INSTANTIATE_TEST_SUITE_P(SectorSizes, CliLoop, ::testing::Values(512u, 4096u));

class CliLoopRefusals : public CliLoop {};

TEST_F(CliLoopRefusals, DevicesAndFilesInUseAreRefused) {
  // A name with a line break once hid the file from the check of attached files.
  const std::string name = "backing\nfile.img";
  Fill(name, kBackingBytes, 0x79);
  {
    LoopDevice mounted(Path(name), 512);
    LoopDevice second(Path(name), 512);
    REQUIRE_ATTACHED(mounted);
    REQUIRE_ATTACHED(second);
    const CliRun attached = Cli({"erase", Path(name), "--real", "--standard", "2"});
    EXPECT_EQ(attached.code, 2);
    EXPECT_TRUE(Contains(attached.err, "refusing to write to '" + Path("backing\\012file.img") +
                                           "': it is attached to the loop device /dev/loop"))
        << attached.err;

    std::filesystem::create_directory(dir_.path() / "mnt");
    testing::Mount mount(mounted.path(), Path("mnt"));
    if (!mount.mounted()) GTEST_SKIP() << "SKIPPED: mkfs.ext2 or mount failed";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"erase", mounted.path(), "--real", "--block-device", "--confirm",
          "ERASE " + mounted.path()},
         "it is in use (mounted at " + Path("mnt") + ")"},
        // Even a simulation and stamp-write (stamp-erase opens as erase); reading stays allowed.
        {{"erase", mounted.path(), "--block-device", "--no-reports"}, "it is in use (mounted"},
        {{"stamp-write", "--out", mounted.path(), "--block-device"}, "it is in use (mounted"},
        // A second loop device on the mounted one's file reaches the same file system.
        {{"erase", second.path(), "--real", "--block-device", "--confirm", "ERASE " + second.path(),
          "--no-stamp"},
         "its backing file is also attached to " + mounted.path()},
    };
    for (const auto& [args, message] : cases) {
      const CliRun run = Cli(args);
      EXPECT_EQ(run.code, 2) << message;
      EXPECT_TRUE(Contains(run.err, message)) << run.err;
    }
    EXPECT_EQ(Cli({"stamp-read", mounted.path()}).code, 1);
    // A loop device re-attached to the mounted file between the checks and the open is judged
    // by what its open handle is bound to.
    Fill("free.img", kBackingBytes, 0);
    LoopDevice flipped(Path("free.img"), 512);
    REQUIRE_ATTACHED(flipped);
    services_.beforeTargetOpen = [&](const std::string&) {
      testing::RunShell("losetup -d " + flipped.path() + " && losetup " + flipped.path() + " " +
                        Quoted(Path(name)));
    };
    const CliRun run = Cli({"stamp-write", "--out", flipped.path(), "--block-device", "--confirm",
                            "ERASE " + flipped.path()});
    EXPECT_EQ(run.code, 2);
    EXPECT_TRUE(Contains(run.err, "its backing file is also attached to /dev/loop")) << run.err;
    // The file system's superblock (magic 0xEF53 at byte 1080) is whole.
    const auto image = Read(name);
    EXPECT_EQ(image[1080], 0x53);
    EXPECT_EQ(image[1081], 0xEF);
  }
  EXPECT_FALSE(Exists("settings-certs"));
}

// A device built on the target carries a mounted file system: a loop device on the whole target,
// one on a partition of it, and an image reached through an overlay. The list and every write
// give one verdict, naming the chain.
TEST_F(CliLoopRefusals, DevicesBuiltOnTheTargetAreSeenByListAndEveryWrite) {
  std::vector<uint8_t> table(kBackingBytes, 0);  // one Linux partition from LBA 2048 to the end
  table[446 + 4] = 0x83;
  PutLe32(std::span(table).subspan(446 + 8), 2048);
  PutLe32(std::span(table).subspan(446 + 12), kBackingBytes / 512 - 2048);
  table[510] = 0x55;
  table[511] = 0xAA;
  testing::WriteWholeFile(dir_.path() / "p.img", table);
  Fill("a.img", kBackingBytes, 0);
  for (const char* folder : {"m1", "m2", "m3"})
    std::filesystem::create_directory(dir_.path() / folder);
  const LoopDevice a(Path("a.img"), 512), p(Path("p.img"), 512, true);
  REQUIRE_ATTACHED(a);
  REQUIRE_ATTACHED(p);
  const std::string part = p.path() + "p1";
  if (!std::filesystem::exists(part)) testing::RunShell("partx -a " + p.path());
  const LoopDevice onWhole(a.path(), 512), onPart(part, 512);
  const testing::Mount overlay = testing::Mount::Overlay(Path("ovl"));
  if (!overlay.mounted()) GTEST_SKIP() << "SKIPPED: overlayfs cannot be mounted";
  Fill("ovl/lower/img", kBackingBytes, 0);
  const LoopDevice throughOverlay(Path("ovl/merged/img"), 512);
  REQUIRE_ATTACHED(onWhole);
  REQUIRE_ATTACHED(onPart);
  REQUIRE_ATTACHED(throughOverlay);
  const testing::Mount m1(onWhole.path(), Path("m1")), m2(onPart.path(), Path("m2")),
      m3(throughOverlay.path(), Path("m3"));
  if (!m1.mounted() || !m2.mounted() || !m3.mounted()) GTEST_SKIP() << "SKIPPED: mount failed";

  const std::string list = Cli({"list"}).out;
  const auto listed = [&list](const std::string& device, const std::string& reason) {
    const size_t row = list.find("\n" + device + " | ");
    return row != std::string::npos &&
           list.substr(row, list.find('\n', row + 1) - row).ends_with(": " + reason);
  };
  const std::string onA = "it is in use: " + onWhole.path() + " (mounted at " + Path("m1") +
                          ") is built on " + a.path();
  const std::string onP =
      "it is in use: " + onPart.path() + " (mounted at " + Path("m2") + ") is built on " + part;
  const std::string attached = "it is attached to the loop device " + throughOverlay.path();
  EXPECT_TRUE(listed(a.path(), onA)) << list;
  EXPECT_TRUE(listed(p.path(), onP)) << list;
  EXPECT_TRUE(listed(throughOverlay.path(), "it is in use (mounted at " + Path("m3") + ")"));
  const std::vector<std::pair<std::string, std::string>> targets = {
      {a.path(), onA},
      {p.path(), onP},
      {part, onP},
      {Path("ovl/lower/img"), attached},
      {Path("ovl/upper/img"), attached}};
  for (const auto& [target, reason] : targets) {
    const std::string typed = "ERASE " + target;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"erase", target, "--real", "--no-reports"},
          {"stamp-write", "--out", target}}) {
      std::vector<std::string> all = args;
      all.insert(all.end(), {"--block-device", "--confirm", typed});
      const CliRun run = Cli(target.starts_with("/dev/") ? all : args);
      EXPECT_EQ(run.code, 2) << target;
      EXPECT_TRUE(Contains(run.err, "refusing to write to '" + target + "': " + reason)) << run.err;
    }
  }
  // Every file system's superblock (magic 0xEF53 at byte 1080) is whole.
  for (const auto& [file, at] :
       {std::pair("a.img", 1080), {"p.img", 1048576 + 1080}, {"ovl/upper/img", 1080}}) {
    const auto image = Read(file);
    EXPECT_EQ(testing::Le16(image, at), 0xEF53) << file;
  }
}

}  // namespace
}  // namespace tvde
