#pragma once
// The safety rules that decide which disks may be written: the running system's disk, the
// WinPE boot medium and (in normal Windows) every internal disk unless unlocked are protected.

#include <cstdint>
#include <vector>

#include "disk/disk_info.h"
#include "disk/protected_disks.h"

namespace tvde {

inline constexpr const wchar_t* kReasonSystemDisk =
    L"現在のWindows OSが稼働しているシステム起動ディスクのため、安全保護ロックにより消去できません。";
inline constexpr const wchar_t* kReasonBootMedia =
    L"現在起動中のWinPEメディア自体のため、保護ロックされています。";
inline constexpr const wchar_t* kReasonWinPE =
    L"WinPEモード: 内蔵・外部ストレージとして安全に完全消去可能です。";
inline constexpr const wchar_t* kReasonRemovable =
    L"外部/リムーバブルストレージ: Windows上から安全に完全消去可能です。";
inline constexpr const wchar_t* kReasonUnlockedInternal =
    L"内蔵セカンダリディスク (ロック解除中 - 消去時は十分ご注意ください)";
inline constexpr const wchar_t* kReasonLockedInternal =
    L"内蔵ストレージです。通常Windows上では誤消去防止のため保護されています(WinPE起動または上級者ロック解除で消去可能)。";
inline constexpr const wchar_t* kNoDriveLetters = L"(未割当/マウントなし)";

// What the rules need beyond the disk record itself.
struct ClassificationContext {
  int32_t systemDiskNumber = 0;      // disk of the running Windows; 0 when unknown
  int32_t bootMediaDiskNumber = -1;  // disk holding the WinPE boot medium, -1 when none
  int32_t environmentMode = 0;       // 1 WinPE; 0 (and every other value) normal Windows
  int32_t unlockInternal = 0;        // 1 unlocks internal disks in normal Windows
  // Further disks the running system needs; checked after the two numbers above, before the
  // removable and internal rules.
  std::vector<DiskProtection> protections;
};

// USB, SD Card or MMC bus, or removable media.
bool IsRemovableLike(const DiskInfo& disk);

// Sets safetyStatus and safetyReason from the disk's number, letters, protections, bus and
// media kind, and fills an empty driveLetters with the "none" text.
void ClassifyDisk(DiskInfo& disk, const ClassificationContext& context);

void ClassifyDisks(std::vector<DiskInfo>& disks, const ClassificationContext& context);

}  // namespace tvde
