// POSIX: folders on the target disk are mounted file systems, which the volume check refuses;
// device and virtual file systems are told by the mount table's type of the folder's device.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <array>
#include <filesystem>
#include <string_view>

#include "base/file_system.h"
#include "base/text.h"
#include "disk/mount_table.h"
#include "disk/working_paths.h"

namespace tvde {
namespace {

constexpr std::array<std::string_view, 20> kSpecialTypes = {
    "devtmpfs", "proc",        "sysfs",     "devpts",   "cgroup",     "cgroup2",  "debugfs",
    "tracefs",  "securityfs",  "pstore",    "efivarfs", "bpf",        "configfs", "fusectl",
    "mqueue",   "binfmt_misc", "hugetlbfs", "autofs",   "rpc_pipefs", "nsfs"};

}  // namespace

std::vector<std::wstring> WorkingPathsOnDisk(const DiskInfo&, const std::wstring&) {
  return {};
}

std::wstring SpecialFileSystemOf(const std::wstring& folder) {
  std::filesystem::path path(WideToUtf8(folder));
  struct stat st {};
  while (!path.empty() && stat(path.c_str(), &st) != 0) {
    if (path == path.parent_path()) return {};
    path = path.parent_path();
  }
  if (path.empty()) return {};
  std::string table;
  ReadKernelFile("/proc/self/mountinfo", size_t{64} << 20, table);
  const DeviceNumber device{major(st.st_dev), minor(st.st_dev)};
  for (const MountEntry& mount : ParseMountInfo(table)) {
    for (const std::string_view type : kSpecialTypes) {
      if (mount.device == device && mount.type == type) {
        return L"on a " + Utf8ToWide(mount.type) + L" file system";
      }
    }
  }
  return {};
}

}  // namespace tvde
