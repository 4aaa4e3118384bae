// Which of the job's working folders lie on a disk.
#include "disk/working_paths.h"

#include <algorithm>

#include "disk/volume_disks.h"

namespace tvde {

std::vector<std::wstring> PathsOnDiskWith(DiskSystemQueries& system, int32_t diskNumber,
                                          const std::vector<std::wstring>& paths) {
  std::vector<std::wstring> onDisk;
  for (const std::wstring& path : paths) {
    const std::vector<int32_t> disks = DisksOfPath(system, path);
    if (std::find(disks.begin(), disks.end(), diskNumber) != disks.end()) onDisk.push_back(path);
  }
  return onDisk;
}

}  // namespace tvde
