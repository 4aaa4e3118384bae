// Labels and size text of the disk record.
#include "disk/disk_info.h"

#include "base/text.h"

namespace tvde {

std::wstring BusTypeLabel(BusKind bus) {
  switch (bus) {
    case BusKind::Usb:
      return L"USB";
    case BusKind::Sata:
      return L"SATA";
    case BusKind::Nvme:
      return L"NVMe";
    case BusKind::ScsiSas:
      return L"SCSI/SAS";
    case BusKind::SdCard:
      return L"SD Card";
    case BusKind::Mmc:
      return L"MMC";
    case BusKind::Raid:
      return L"RAID";
    case BusKind::Virtual:
      return L"Virtual";
    case BusKind::Unknown:
      break;
  }
  return L"Unknown";
}

std::wstring MediaTypeLabel(MediaKind media) {
  switch (media) {
    case MediaKind::Hdd:
      return L"HDD (磁気ディスク)";
    case MediaKind::Ssd:
      return L"SSD (SATA/SAS)";
    case MediaKind::NvmeSsd:
      return L"NVMe SSD";
    case MediaKind::Removable:
      return L"リムーバブル (USB/フラッシュ)";
    case MediaKind::Standard:
      break;
  }
  return L"標準ストレージ";
}

std::wstring SafetyStatusLabel(SafetyStatus status) {
  switch (status) {
    case SafetyStatus::Erasable:
      return L"[消去可能] 安全チェックOK";
    case SafetyStatus::ProtectedSystemDisk:
      return L"[絶対保護] OS起動システムディスク (消去不可)";
    case SafetyStatus::ProtectedBootMedia:
      return L"[絶対保護] WinPE起動メディア (消去不可)";
    case SafetyStatus::LockedInternal:
      return L"[保護ロック] 内蔵ディスク (WinPE起動から消去推奨)";
    case SafetyStatus::ErasableSecondary:
      return L"[消去可能(注意)] 非ブート内蔵セカンダリディスク";
  }
  return L"[保護ロック] 不明な状態";
}

bool AllowsWrite(SafetyStatus status) {
  return status == SafetyStatus::Erasable || status == SafetyStatus::ErasableSecondary;
}

std::wstring TargetDevicePath(const DiskInfo& disk) {
  return disk.interfacePath.empty() ? disk.devicePath : disk.interfacePath;
}

std::wstring PhysicalDrivePath(int32_t diskNumber) {
  return L"\\\\.\\PhysicalDrive" + std::to_wstring(diskNumber);
}

std::wstring FormatSize(uint64_t bytes) {
  if (bytes == 0) return L"0 B";
  const double gib = static_cast<double>(bytes) / 1073741824.0;
  if (gib >= 1000.0) return FormatPrintfW("%.2f TB", gib / 1024.0);
  if (gib >= 1.0) return FormatPrintfW("%.2f GB", gib);
  return FormatPrintfW("%.1f MB", static_cast<double>(bytes) / 1048576.0);
}

}  // namespace tvde
