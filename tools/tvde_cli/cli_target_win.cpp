// Windows targets: image files only. Raw disks are reached through the program's own disk
// list and safety classification, never by a path typed into this tool.
#include <system_error>

#include "base/device.h"
#include "cli_target.h"

namespace tvde::cli {

namespace {

// "\\.\PhysicalDrive0", "\\.\C:", "\\?\GLOBALROOT\..." and the like name devices, not files;
// the file system library may even report some of them as files.
bool IsDeviceNamespace(const std::string& path) {
  std::string p = path.substr(0, 8);
  for (char& c : p) {
    if (c == '/') c = '\\';
  }
  if (p.rfind("\\\\.\\", 0) == 0) return true;
  if (p.rfind("\\\\?\\", 0) != 0) return false;
  // "\\?\C:\..." and "\\?\UNC\..." are ordinary long file paths.
  const bool drive = p.size() >= 7 && p[5] == ':' && p[6] == '\\';
  const bool unc =
      path.size() >= 8 && (path.substr(4, 4) == "UNC\\" || path.substr(4, 4) == "unc\\");
  return !drive && !unc;
}

}  // namespace

TargetInfo InspectTarget(const std::string& path) {
  TargetInfo info;
  if (IsDeviceNamespace(path)) {
    info.kind = TargetKind::Other;
    return info;
  }
  std::error_code ec;
  const auto status = std::filesystem::status(FsPath(path), ec);
  if (status.type() == std::filesystem::file_type::not_found) return info;
  if (status.type() == std::filesystem::file_type::regular) {
    info.kind = TargetKind::RegularFile;
    info.sizeBytes = std::filesystem::file_size(FsPath(path), ec);
    info.logicalSectorSize = UnbufferedFileSectorSize(FsPath(path).wstring());
    return info;
  }
  info.kind = TargetKind::Other;
  return info;
}

bool BlockDevicesSupported() {
  return false;
}

}  // namespace tvde::cli
