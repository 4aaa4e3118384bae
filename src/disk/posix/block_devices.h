#pragma once
// Linux block devices as the system describes them (sysfs, the mount table, the swap areas,
// the loop devices): the disk record of one device with the safety status that decides whether
// it may be written, the same for a regular file, and the list of the machine's disks. Every
// answer comes from one snapshot, which tests build over a sysfs tree of their own.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/device.h"
#include "disk/disk_info.h"
#include "disk/mount_table.h"

namespace tvde {

// A file (or device node) by identity: the file system it is on and its inode.
struct FileIdentity {
  DeviceNumber fileSystem;
  uint64_t fileNumber = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// What a path or a loop device's backing file is: the file, and for a device node the block
// device it stands for.
struct NodeFacts {
  FileIdentity file;
  std::optional<DeviceNumber> blockDevice;
};

// A device the caller holds open, and what that open handle says it is bound to.
struct OpenedDevice {
  DeviceNumber device;
  std::optional<NodeFacts> loopBinding;  // a loop device's backing; nothing for other devices
};

struct BlockSystem {
  std::filesystem::path sysfs = "/sys";  // holds block/ and dev/block/
  std::vector<MountEntry> mounts;
  std::vector<std::string> swapAreas;          // file or device names
  std::optional<DeviceNumber> rootFileSystem;  // the device "/" is on
  // What a path names (stat); nothing when it does not exist.
  std::function<std::optional<NodeFacts>(const std::string& path)> lookUp;
  // The backing file of an attached loop device, by kernel name; nothing when it cannot be told.
  std::function<std::optional<NodeFacts>(const std::string& kernelName)> loopBacking;
  // How another opener holds a device built on the judged one ("open exclusively"); empty when
  // an exclusive open of it would succeed.
  std::function<std::string(const std::string& kernelName, DeviceNumber device)> heldBy;
  // The judged device as the caller opened it: its binding is taken from the open handle, never
  // looked up by name again (a loop device held open cannot be bound to anything else).
  std::optional<OpenedDevice> opened;
};

// The running system's snapshot.
BlockSystem ReadBlockSystem();

// Why a disk of the list is what it is; written after "refusing to write to 'X': " too.
inline constexpr const char* kReasonOnSystemDisk = "it is on the disk of the running system";
inline constexpr const char* kReasonNotInUse =
    "not mounted, not in use and not on the disk of the running system";

// Why writing to a block device would destroy something in use; empty when nothing. What
// stands on the device is seen whole: its partitions, the devices that hold them (sysfs
// holders) and the loop devices bound to any of them, and so on up. The device is in use while
// any of these is mounted, used as swap, held, or opened exclusively by another (the reason
// names the chain: "/dev/loop1 (mounted at /mnt) is built on /dev/loop0"); on the disk of the
// running system; or, for a loop device, while its backing file is attached to another loop
// device or used as swap, or its backing device is in use. kReasonOnSystemDisk for the first.
std::string BlockDeviceInUse(const BlockSystem& system, DeviceNumber device);

// The disk record of a block device: "/dev/<kernel name>", size, logical sector size, model,
// serial, bus and media kind, mount points (driveLetters, also of what is built on it), and
// the safety status: protected on the disk of the running system, locked while in use (as
// BlockDeviceInUse judges), erasable otherwise. safetyReason says which, in English. Nothing
// when sysfs does not know the device or it went away while it was read.
std::optional<DiskInfo> DescribeBlockDevice(const BlockSystem& system, DeviceNumber device);

// Why writing to this regular file would destroy something in use (attached to a loop device,
// also through an overlay, or used as swap); empty when nothing.
std::string RegularFileInUse(const BlockSystem& system, const FileIdentity& file);

// Every disk of /sys/block that has a size (loop devices only when attached to a file; not the
// devices built on other devices, nor RAM disks), described as above, in the order of names.
std::vector<DiskInfo> ListBlockDisks(const BlockSystem& system);

// What the kernel's names and sysfs attributes say about a whole disk.
struct BlockDiskFacts {
  std::string kernelName;  // "sda", "nvme0n1", "loop3", "mmcblk0"
  std::string sysfsPath;   // canonical sysfs path (shows the bus it hangs on)
  std::string vendor;
  std::string model;
  std::string serial;
  int rotational = -1;  // -1 unknown
  int removable = -1;
};

// Model, serial, bus and media kind of the disk record.
void DescribeBlockDisk(const BlockDiskFacts& facts, DiskInfo& disk);

}  // namespace tvde
