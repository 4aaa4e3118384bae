#pragma once
// The last check before the first write of a job or a stamp operation: the disk opened at
// TargetDevicePath is asked who it is, through the open handle, and classified again.

#include "base/device.h"
#include "disk/disk_info.h"
#include "disk/disk_reidentify.h"

namespace tvde {

inline constexpr const wchar_t* kOpenedDiskDiffersMessage =
    L"開いたディスクが一覧取得時のディスクと一致しない、または書き込みできない状態のため、書き込みを中止しました: ";

// Windows raw disks: ReidentifyOpenedDisk over `opened`. Image files, and the devices of the
// POSIX build (which the list does not fill), have no listed identity to compare and pass.
DiskIdentityCheck CheckOpenedDisk(const DiskInfo& saved, Device& opened);

// The same check through a handle opened for queries only, asked before any volume of the disk
// is taken away: a disk that answers to the listed number by now keeps its volumes mounted.
// The write handle is checked again (CheckOpenedDisk) once it is open.
DiskIdentityCheck CheckListedDisk(const DiskInfo& saved);

}  // namespace tvde
