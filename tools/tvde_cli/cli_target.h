#pragma once
// A command-line target: looked up once, opened once, and judged by what was opened, so that a
// path swapped or renamed after the checks can never send a write somewhere else.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/device.h"
#include "base/log_callback.h"
#include "disk/disk_info.h"
#include "erase/volume_lock.h"

namespace tvde::cli {

struct Args;

enum class Access { Read, Write, WriteOrCreate };
enum class Opening { LookOnly, Open };  // a simulation only looks

struct Target {
  std::string given;  // the path as typed
  DeviceObject object;
  // The disk record of what was found. devicePath names the object itself: the kernel's name
  // of a block device ("/dev/sdb" for "/dev/disk/by-id/usb-..."), the given path of a file.
  DiskInfo disk;
  std::unique_ptr<Device> device;  // the one open handle; null when only looked at
  bool created = false;            // stamp-write made the file
};

// Looks the path up once and, unless only looking, opens it once; the kind of object, its
// size, its sector size and whether anything uses it all come from what was found there. A
// file to be written must be named directly (a symbolic link is refused); a block device may
// be named through links (by-id names), and is then known by its kernel name.
bool OpenTarget(const std::string& path, Access access, Opening opening, const Args& args,
                Target& target, std::string& error);

// Why the disk named `given` may not be written: every safety status but the two erasable ones,
// and any value that is no status, refuses. Empty when writing is allowed.
std::string WriteRefusal(const DiskInfo& disk, const std::string& given);

// `path` in single quotes, as messages name it.
std::string Quoted(const std::string& path);

// The words for a failed open or look-up of `path`.
std::string DescribeOpenError(const std::string& path, uint32_t error);

// Platform part of OpenTarget.
// A name refused without looking at it (Windows device namespaces, host devices under Wine).
bool RefusedByName(const std::string& path, std::string& error);
// Whether this build writes to block devices at all.
bool BlockDevicesSupported();
// Fills the disk record of a block device (its logical sector size in bytesPerSector), or
// says why it may not be written.
bool DescribeBlockTarget(const Target& target, Access access, DiskInfo& disk, std::string& error);
// Why writing to the opened regular file would destroy something in use; empty when nothing.
std::string FileTargetInUse(const DeviceObject& object);
// What the job holds besides the open device: the mounts it must find gone.
VolumeLockList CheckTargetVolumes(const DeviceObject& object, const LogCallback& log);
// Removes the file stamp-write created, when the name still names it (after the device closed).
void RemoveCreatedFile(const Target& target);
// The machine's disks for "list", classified as the erase command judges them.
std::vector<DiskInfo> SystemDisks(int32_t isWinPE);

// The path as the file system library takes it (UTF-8 in, native form out).
std::filesystem::path FsPath(const std::string& utf8);

}  // namespace tvde::cli
