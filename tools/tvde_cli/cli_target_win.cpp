// Windows targets: image files only. Raw disks are reached through the program's own disk
// list and safety classification, never by a path typed into this tool.
#include <windows.h>

#include "base/host_environment.h"
#include "base/system_error.h"
#include "base/text.h"
#include "cli_target.h"
#include "disk/disk_enumeration.h"

namespace tvde::cli {
std::string DescribeOpenError(const std::string& path, uint32_t error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return Quoted(path) + " does not exist";
    case ERROR_FILENAME_EXCED_RANGE:
      return Quoted(path) + ": the path or one of its names is too long";
    case ERROR_ACCESS_DENIED:
      return Quoted(path) + ": access is denied";
    case ERROR_WRITE_PROTECT:
      return Quoted(path) + " is on a write-protected medium";
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return Quoted(path) + " is in use by another program";
    case ERROR_CANT_ACCESS_FILE:
      return Quoted(path) + " is a link; give the path of the image file itself";
    default:
      break;
  }
  return "cannot open " + Quoted(path) + ": " + WideToUtf8(DescribeSystemError(error));
}

bool RefusedByName(const std::string& path, std::string& error) {
  const std::wstring wide = Utf8ToWide(path);
  // "\\.\PhysicalDrive0", "\\.\C:", "\??\..." and the like name devices, not files; under
  // Wine a drive path may lead into the host's /dev. Neither is looked at, let alone opened.
  bool refused = IsRawDevicePath(wide);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  const bool folder =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!refused && !folder && IsRunningUnderWine()) {  // a folder is refused as one later
    refused = attributes != INVALID_FILE_ATTRIBUTES ? IsWineHostDevicePath(wide)
                                                    : WineUnixPathOf(wide).rfind("/dev/", 0) == 0;
  }
  if (refused) error = Quoted(path) + " is not a regular file";
  return refused;
}

bool BlockDevicesSupported() {
  return false;
}

bool DescribeBlockTarget(const Target& target, Access, DiskInfo&, std::string& error) {
  error = Quoted(target.given) + " is not a regular file";
  return false;
}

std::string FileTargetInUse(const DeviceObject&) {
  return {};
}

VolumeLockList CheckTargetVolumes(const DeviceObject&, const LogCallback&) {
  return {};
}

void RemoveCreatedFile(const Target& target) {
  if (target.created) DeleteFileW(Utf8ToWide(target.given).c_str());
}

std::vector<DiskInfo> SystemDisks(int32_t isWinPE) {
  // Under Wine the enumeration opens no disk and answers with an empty list.
  return EnumeratePhysicalDisks(isWinPE, 0);
}

std::filesystem::path FsPath(const std::string& utf8) {
  return std::filesystem::path(Utf8ToWide(utf8));
}

std::wstring WideOf(const std::filesystem::path& path) {
  return path.wstring();
}

}  // namespace tvde::cli
