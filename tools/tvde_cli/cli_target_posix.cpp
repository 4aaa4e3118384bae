// POSIX targets: image files (checked against loop devices and swap) and block devices, judged
// by the device number of what was opened against the system's mounts, swap areas, stacked
// devices, loop devices and the disk of the running system.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "base/system_error.h"
#include "base/text.h"
#include "cli_target.h"
#include "disk/posix/block_devices.h"

namespace tvde::cli {
std::string DescribeOpenError(const std::string& path, uint32_t error) {
  switch (error) {
    case ENOENT:
      return Quoted(path) + " does not exist";
    case ENOTDIR:
      return Quoted(path) + ": a part of the path before the last name is not a folder";
    case ENAMETOOLONG:
      return Quoted(path) + ": the path or one of its names is too long";
    case ELOOP:
      return Quoted(path) + ": too many symbolic links lead on from one another";
    case EACCES:
      return Quoted(path) + ": permission denied";
    case EROFS:
      return Quoted(path) + " is on a read-only file system";
    case EPERM:
      return Quoted(path) + ": the system does not permit opening it for writing";
    case EBUSY:
      return Quoted(path) +
             " is in use: the system holds it (a mounted file system, swap, or a device built "
             "on it)";
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
      return Quoted(path) + ": no device or medium answers behind it";
    default:
      break;
  }
  return "cannot open " + Quoted(path) + ": " + WideToUtf8(DescribeSystemError(error));
}

bool RefusedByName(const std::string&, std::string&) {
  return false;
}

bool BlockDevicesSupported() {
  return true;
}

bool DescribeBlockTarget(const Target& target, Access access, DiskInfo& disk, std::string& error) {
  const auto described = DescribeBlockDevice(ReadBlockSystem(), target.object.blockDevice);
  if (!described) {
    error = Quoted(target.given) + " is a block device the system does not describe";
    return false;
  }
  disk = *described;
  error = access == Access::Read ? std::string() : WriteRefusal(disk, target.given);
  return error.empty();
}

std::string FileTargetInUse(const DeviceObject& object) {
  return RegularFileInUse(ReadBlockSystem(), {object.fileSystem, object.fileNumber});
}

VolumeLockList CheckTargetVolumes(const DeviceObject& object, const LogCallback& log) {
  if (object.kind != DeviceKind::BlockDevice) return {};
  return FindMountedVolumes(object.blockDevice, log);
}

void RemoveCreatedFile(const Target& target) {
  // Only the file this command made: a name taken over since then is left alone.
  struct stat st {};
  if (!target.created || lstat(target.given.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      major(st.st_dev) != target.object.fileSystem.major ||
      minor(st.st_dev) != target.object.fileSystem.minor ||
      static_cast<uint64_t>(st.st_ino) != target.object.fileNumber) {
    return;
  }
  unlink(target.given.c_str());
}

std::vector<DiskInfo> SystemDisks(int32_t) {
  return ListBlockDisks(ReadBlockSystem());
}

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(utf8);
}

}  // namespace tvde::cli
