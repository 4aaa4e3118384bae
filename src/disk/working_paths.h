#pragma once
// The folders a running job needs on a disk of its own: the program's folder, the temporary
// folder, the current folder and the certificate folder. A target disk that holds one of them
// cannot be taken away from the file system: its volume lock fails, the forced dismount that
// follows pulls the folder away, and the process dies mid-erase without a certificate.

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_info.h"
#include "disk/disk_queries.h"

namespace tvde {

// The paths of `paths` (in their order) whose volume has an extent on disk `diskNumber`.
// A path whose volume the system cannot name is not counted.
std::vector<std::wstring> PathsOnDiskWith(DiskSystemQueries& system, int32_t diskNumber,
                                          const std::vector<std::wstring>& paths);

// Windows: the program's folder, the temporary folder, the current folder and `certificateFolder`
// (when not empty) that lie on the raw disk `disk`, each reached through whatever links,
// junctions or substituted drives lead to it; empty for image files and under Wine. Elsewhere
// always empty: a folder on the target disk is a mounted file system there, which the volume check
// already refuses.
std::vector<std::wstring> WorkingPathsOnDisk(const DiskInfo& disk,
                                             const std::wstring& certificateFolder);

}  // namespace tvde
