// POSIX: folders on the target disk are mounted file systems, which the volume check refuses.
#include "disk/working_paths.h"

namespace tvde {

std::vector<std::wstring> WorkingPathsOnDisk(const DiskInfo&, const std::wstring&) {
  return {};
}

}  // namespace tvde
