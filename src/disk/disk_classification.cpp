// Safety classification of enumerated disks.
#include "disk/disk_classification.h"

namespace tvde {

bool IsRemovableLike(const DiskInfo& disk) {
  return disk.busType == BusKind::Usb || disk.busType == BusKind::SdCard ||
         disk.busType == BusKind::Mmc || disk.mediaType == MediaKind::Removable;
}

void ClassifyDisk(DiskInfo& disk, const ClassificationContext& context) {
  if (disk.driveLetters.empty()) disk.driveLetters = kNoDriveLetters;
  // Only 1 selects WinPE. Any other value gets the protective rules of normal Windows: an
  // unexpected mode must never make the running system's disk erasable.
  const bool winPE = context.environmentMode == 1;

  if (!winPE) {
    // The letter test catches the system volume even when the disk-number lookup failed or
    // the system runs from a USB disk.
    if (disk.diskNumber == context.systemDiskNumber ||
        disk.driveLetters.find(L"C:") != std::wstring::npos ||
        disk.driveLetters.find(L"c:") != std::wstring::npos) {
      disk.safetyStatus = SafetyStatus::ProtectedSystemDisk;
      disk.safetyReason = kReasonSystemDisk;
      return;
    }
  } else if (disk.diskNumber == context.bootMediaDiskNumber) {
    disk.safetyStatus = SafetyStatus::ProtectedBootMedia;
    disk.safetyReason = kReasonBootMedia;
    return;
  }
  for (const DiskProtection& protection : context.protections) {
    if (protection.diskNumber != disk.diskNumber) continue;
    disk.safetyStatus = ProtectionStatus(protection.cause);
    disk.safetyReason = ProtectionReason(protection.cause);
    return;
  }

  if (winPE || IsRemovableLike(disk)) {
    disk.safetyStatus = SafetyStatus::Erasable;
    disk.safetyReason = winPE ? kReasonWinPE : kReasonRemovable;
    return;
  }
  if (context.unlockInternal == 1) {
    disk.safetyStatus = SafetyStatus::ErasableSecondary;
    disk.safetyReason = kReasonUnlockedInternal;
  } else {
    disk.safetyStatus = SafetyStatus::LockedInternal;
    disk.safetyReason = kReasonLockedInternal;
  }
}

void ClassifyDisks(std::vector<DiskInfo>& disks, const ClassificationContext& context) {
  for (DiskInfo& disk : disks)
    ClassifyDisk(disk, context);
}

}  // namespace tvde
