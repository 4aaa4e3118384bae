// POSIX targets are named by the operator's path, not by a list record: nothing to compare.
#include "erase/opened_disk_check.h"

namespace tvde {

DiskIdentityCheck CheckOpenedDisk(const DiskInfo& /*saved*/, Device& /*opened*/) {
  return {true, L""};
}

DiskIdentityCheck CheckListedDisk(const DiskInfo& /*saved*/) {
  return {true, L""};
}

}  // namespace tvde
