// The open disk re-identified with the Win32 disk and volume queries.
#include "base/host_environment.h"
#include "disk/disk_enumeration.h"
#include "erase/opened_disk_check.h"

namespace tvde {

DiskIdentityCheck CheckOpenedDisk(const DiskInfo& saved, Device& opened) {
  // Under Wine raw devices are refused before anything is opened; files have no identity.
  if (IsRunningUnderWine() || !IsRawDevicePath(TargetDevicePath(saved))) return {true, L""};
  const std::unique_ptr<DiskSystemQueries> system = MakeWin32DiskQueries();
  OpenDeviceQueries queries(opened);
  return ReidentifyOpenedDisk(*system, queries, saved);
}

DiskIdentityCheck CheckListedDisk(const DiskInfo& saved) {
  if (IsRunningUnderWine() || !IsRawDevicePath(TargetDevicePath(saved))) return {true, L""};
  const std::unique_ptr<DiskSystemQueries> system = MakeWin32DiskQueries();
  const std::unique_ptr<DiskQueryHandle> handle =
      saved.interfacePath.empty() ? system->OpenPhysicalDisk(saved.diskNumber)
                                  : system->OpenDiskInterface(saved.interfacePath);
  if (!handle) return {false, L"ディスクを開けません"};
  return ReidentifyOpenedDisk(*system, *handle, saved);
}

}  // namespace tvde
