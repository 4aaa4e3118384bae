// "tvde-cli list" and the block-device classification behind it and every write, on a made-up
// sysfs tree, mount table, swap list and set of loop devices.
#include <gtest/gtest.h>

#include <fstream>

#include "cli_test_fixture.h"
#include "disk/posix/block_devices.h"
#include "support/fake_drive.h"

namespace tvde {
namespace {

using testing::CliFixture;
namespace fs = std::filesystem;

class CliList : public CliFixture {
 protected:
  // A device directory under sys/devices with its attributes ("name=value|..."; "a/b" makes a
  // folder), linked from dev/block by number and, unless a partition, from block by name.
  fs::path Device(const std::string& where, const std::string& number, std::string attributes) {
    const fs::path dir = sys_ / "devices" / where;
    fs::create_directories(dir);
    std::ofstream(dir / "dev") << number << "\n";
    for (size_t at = 0; at < attributes.size();) {
      const size_t equals = attributes.find('=', at);
      const size_t end = std::min(attributes.find('|', at), attributes.size());
      fs::create_directories((dir / attributes.substr(at, equals - at)).parent_path());
      std::ofstream(dir / attributes.substr(at, equals - at))
          << attributes.substr(equals + 1, end - equals - 1);
      at = end + 1;
    }
    fs::create_directories(sys_ / "dev" / "block");
    fs::create_directories(sys_ / "block");
    fs::create_directory_symlink(dir, sys_ / "dev" / "block" / number);
    if (!fs::exists(dir / "partition"))
      fs::create_directory_symlink(dir, sys_ / "block" / dir.filename());
    return dir;
  }

  fs::path sys_ = dir_.path() / "sys";
};

TEST_F(CliList, DisksAreClassifiedAsTheWritesJudgeThem) {
  const std::string ata = "pci0000:00/0000:00:17.0/ata1/host0/block/sda";
  const std::string usb = "pci0000:00/0000:00:14.0/usb2/2-1/host6/block/sdb";
  Device(ata, "8:0",
         "size=976773168|device/vendor=ATA     |device/model=Samsung SSD 870\n|"
         "device/serial= S6PT\n|queue/rotational=0|removable=0");
  Device(ata + "/sda1", "8:1", "partition=1");
  const fs::path sda2 = Device(ata + "/sda2", "8:2", "partition=2");
  const fs::path dm = Device("virtual/block/dm-0", "253:0", "size=100");
  for (const auto& [from, folder, to] : {std::tuple(sda2, "holders", dm), {dm, "slaves", sda2}}) {
    fs::create_directories(from / folder);
    fs::create_directory_symlink(to, from / folder / to.filename());
  }
  Device(usb, "8:16",
         "size=62521344|device/vendor=SanDisk|device/model=Ultra|"
         "queue/logical_block_size=4096");
  Device(usb + "/sdb1", "8:17", "partition=1");
  Device("pci0000:00/0000:00:1d.0/nvme/nvme0/nvme0n1", "259:0",
         "size=2000409264|device/model=PM9A1 |device/serial=X");
  Device("platform/mmc0/mmc0:0001/block/mmcblk0", "179:0", "size=62333952|device/name=SD32G");
  Device("platform/mmc0/mmc0:0001/block/mmcblk0/mmcblk0p1", "179:1", "partition=1");
  for (const char* loop : {"loop0", "loop1", "loop3", "loop4"}) {
    Device(std::string("virtual/block/") + loop, std::string("7:") + loop[4],
           "size=16384|loop/backing_file=/images/x\n");
  }
  Device("virtual/block/loop2", "7:2", "size=0");  // attached to nothing
  // A device gone while it is read: its size read fails (a folder here, ENODEV on a real one).
  Device("pci0000:00/0000:00:17.0/ata2/host1/block/sdc", "8:32", "size/gone=|device/model=x");
  Device("virtual/block/ram0", "1:0", "size=8192");

  BlockSystem system;
  system.sysfs = sys_;
  system.mounts = ParseMountInfo(
      "20 1 253:0 / / rw - ext4 /dev/mapper/root rw\n"
      "21 20 8:17 / /media/usb\\040st\\012ick\u202E\u061C rw - vfat /dev/sdb1 rw\n"
      "22 20 0:5 / /dev rw - devtmpfs udev rw\n");
  system.swapAreas = ParseSwapAreas(
      "Filename\tType\tSize\tUsed\tPriority\n/dev/mmcblk0p1  partition\t1\t0\t-2\n"
      "/swapfile  file\t1\t0\t-3\n");
  const FileIdentity image{{8, 2}, 42};
  const FileIdentity swapFile{{8, 2}, 99};
  system.lookUp = [&](const std::string& path) -> std::optional<NodeFacts> {
    if (path == "/dev/mmcblk0p1") return NodeFacts{{{0, 6}, 500}, DeviceNumber{179, 1}};
    if (path == "/swapfile") return NodeFacts{swapFile, std::nullopt};
    return std::nullopt;
  };
  system.loopBacking = [&](const std::string& name) -> std::optional<NodeFacts> {
    if (name == "loop3") return NodeFacts{{{0, 6}, 7}, DeviceNumber{8, 17}};  // on /dev/sdb1
    if (name == "loop4") return NodeFacts{{{0, 6}, 8}, std::nullopt};         // a file of its own
    return NodeFacts{image, std::nullopt};  // loop0 and loop1 share one file
  };
  // Another program (mkfs, a second eraser) holds loop4 open exclusively.
  system.heldBy = [](const std::string& name, DeviceNumber) {
    return name == "loop4" ? std::string("open exclusively") : std::string();
  };
  // What an NVMe controller with a second namespace reports.
  testing::FakeDrive controller(PassThroughKind::Nvme, false);
  controller.sanicap = 1;
  controller.active = {1, 2};
  services_.listDisks = [&] {
    std::vector<DiskInfo> disks = ListBlockDisks(system);
    for (DiskInfo& disk : disks)
      if (disk.devicePath == L"/dev/nvme0n1")
        disk.firmware = DiscoverFirmwareCapabilities(controller);
    return disks;
  };

  const std::string locked = " | [保護ロック] 内蔵ディスク (WinPE起動から消去推奨): ";
  const std::string loop = " | Loop Device | N/A | 標準ストレージ | Virtual | 8.0 MB | -" + locked;
  const std::string removable = " | N/A | リムーバブル (USB/フラッシュ) | ";
  const std::vector<std::string> rows = {
      "DEVICE | MODEL | SERIAL | MEDIA | BUS | SIZE | MOUNTED | SAFETY",
      "/dev/loop0" + loop + "its backing file is also attached to /dev/loop1",
      "/dev/loop1" + loop + "its backing file is also attached to /dev/loop0",
      "/dev/loop3" + loop +
          "its backing device /dev/sdb1: it is in use (mounted at /media/usb st\\012ick\\342\\200\\256\\330\\234)",
      "/dev/loop4" + loop + "it is in use (open exclusively)",
      "/dev/mmcblk0 | SD32G" + removable + "MMC | 29.72 GB | [SWAP]" + locked +
          "it is in use (used as swap)",
      "/dev/nvme0n1 | PM9A1 | X | NVMe SSD | NVMe | 953.87 GB | - | [消去可能] 安全チェックOK: not mounted, not in use and not on the disk of the running system\n"
      "    firmware: NVMe: Sanitize crypto erase (SANICAP 00000001h); Format NVM user data erase (FNA 00h, per namespace); namespace 1 of 2 active",
      "/dev/sda | Samsung SSD 870 | S6PT | SSD (SATA/SAS) | SATA | 465.76 GB | / | [絶対保護] OS起動システムディスク (消去不可): it is on the disk of the running system",
      // A line break in a name cannot start a line of its own, nor a mark reorder it.
      "/dev/sdb | SanDisk Ultra" + removable +
          "USB | 29.81 GB | /media/usb st\\012ick\\342\\200\\256\\330\\234" + locked +
          "it is in use (mounted at /media/usb st\\012ick\\342\\200\\256\\330\\234)",
  };
  std::string expected;
  for (const std::string& row : rows)
    expected += row + "\n";
  EXPECT_EQ(Cli({"list"}).out, expected);

  const std::string json = Cli({"list", "--json"}).out;
  EXPECT_EQ(json.rfind("[\n  {\"devicePath\": \"/dev/loop0\"", 0), 0u);
  // Python reads the real list's keys (CliEndToEnd.ListJson); here the values of one row.
  EXPECT_TRUE(testing::Contains(
      json,
      "\"sizeBytes\": 32010928128, \"size\": \"29.81 GB\", "
      "\"bytesPerSector\": 4096, \"mountPoints\": \"/media/usb st\\nick\u202E\u061C\", "
      "\"safetyStatus\": 3, "))
      << json;
  EXPECT_TRUE(testing::Contains(json,
                                "\"passThrough\": \"NVMe\", \"firmwareMethods\": "
                                "[\"nvme-format-user-data\"], \"firmware\": \"NVMe: "));
  EXPECT_TRUE(
      json.ends_with("\"erasable\": false, \"passThrough\": \"none\", \"firmwareMethods\": "
                     "[], \"firmware\": \"not checked\", \"hiddenArea\": \"\", "
                     "\"hiddenSectors\": null}\n]\n"));

  // Partitions are judged with their disk; files by what is attached to them or swaps on them.
  EXPECT_EQ(DescribeBlockDevice(system, {8, 1})->safetyStatus, SafetyStatus::ProtectedSystemDisk);
  EXPECT_EQ(DescribeBlockDevice(system, {8, 17})->bytesPerSector, 4096u);
  EXPECT_EQ(RegularFileInUse(system, image), "it is attached to the loop device /dev/loop0");
  EXPECT_EQ(RegularFileInUse(system, swapFile), "it is used as swap");
  EXPECT_EQ(RegularFileInUse(system, {{8, 2}, 43}), "");
}

}  // namespace
}  // namespace tvde
