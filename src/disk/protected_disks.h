#pragma once
// Disks the running system needs besides the one its Windows folder is on: every disk of the
// system volume, the system partition's disk, the disk holding the virtual disk Windows boots
// from, disks with a page file, and in WinPE the boot medium.

#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_info.h"
#include "disk/disk_queries.h"

namespace tvde {

enum class ProtectionCause : int32_t {
  SystemVolume,       // an extent of the volume of the Windows system directory
  SystemPartition,    // the partition the firmware booted Windows from (HKLM\SYSTEM\Setup)
  VirtualDiskHost,    // holds the VHD(X) file the running Windows was booted from
  PageFile,           // holds a page file of the running system
  BootMedium,         // the medium WinPE was started from
  WinPESystemFolder,  // WinPE runs from this disk instead of its RAM disk X:
};

struct DiskProtection {
  int32_t diskNumber = -1;
  ProtectionCause cause = ProtectionCause::SystemVolume;
};

inline constexpr const wchar_t* kReasonSystemPartition =
    L"現在のWindowsを起動したシステムパーティション (ブート構成) があるディスクのため、安全保護ロックにより消去できません。";
inline constexpr const wchar_t* kReasonVirtualDiskHost =
    L"現在のWindowsが起動している仮想ディスク (VHD/VHDX) ファイルを格納しているディスクのため、安全保護ロックにより消去できません。";
inline constexpr const wchar_t* kReasonPageFile =
    L"現在のWindowsが使用中のページファイルがあるディスクのため、安全保護ロックにより消去できません。";
inline constexpr const wchar_t* kReasonWinPESystemFolder =
    L"現在起動中のWinPEのシステムフォルダがあるディスクのため、保護ロックされています。";

// The status a protected disk gets: the boot medium and the disk WinPE runs from are
// ProtectedBootMedia, every other cause ProtectedSystemDisk.
SafetyStatus ProtectionStatus(ProtectionCause cause);
// The Japanese reason shown with that status.
std::wstring ProtectionReason(ProtectionCause cause);

// Every protected disk with its cause, in this order: system volume (normal Windows) or WinPE
// system folder and boot medium (WinPE, environmentMode 1), system partition, virtual-disk
// host, page files. A disk may appear more than once; its first cause is
// the one shown. Facts the system cannot give are left out; the disk-0 fallback for an
// unknown system disk stays with the classification.
std::vector<DiskProtection> FindProtectedDisksWith(DiskSystemQueries& system,
                                                   int32_t environmentMode);

// The WinPE boot medium: the volume named by PEBootRamdiskSourceDrive when that value names a
// volume with disk extents, otherwise every volume carrying "sources\boot.wim". Disk numbers
// in the order found, each once.
std::vector<int32_t> FindBootMediaDisksWith(DiskSystemQueries& system);

}  // namespace tvde
