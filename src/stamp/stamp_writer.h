#pragma once
// Puts the stamp image on a disk and takes it off again (all zeroes over LBA 0..255).

#include <cstdint>

#include "base/device.h"
#include "base/log_callback.h"
#include "bootprog/boot_programs.h"
#include "disk/disk_info.h"
#include "stamp/stamp_payload.h"

namespace tvde {

inline constexpr const wchar_t* kLogStampWritten =
    L"[DISK STAMP] 実機起動レポート画面 (BIOS/CSM フルスクリーン & UEFI GOP グラフィック両対応スタンプ) "
    L"をディスクへ記録しました";
inline constexpr const wchar_t* kLogStampErased =
    L"[DISK STAMP] ディスク先頭領域 (LBA 0..255) の実機レポートスタンプを消去し、完全未初期化状態 "
    L"(全0x00) に切り替えました。";
inline constexpr const wchar_t* kLogStampWriteRefused =
    L"[SAFETY] 保護ロック中のディスクにはスタンプを書き込めません。";
inline constexpr const wchar_t* kLogStampRefusedUnderWine =
    L"[SAFETY] Wine環境ではホストの実ディスクを保護するため、ディスクデバイスへのスタンプ操作をブロックしました: ";
inline constexpr const wchar_t* kLogStampEraseRefused =
    L"[SAFETY] 保護ロック中のディスクは操作できません。";

// Writes the image through a device the caller opened (unbuffered, at the disk's sector size).
// True only when the whole buffer reached the device and the flush succeeded.
bool WriteStampImage(Device& device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log);
// A null device is refused without touching anything.
bool WriteStampImage(Device* device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log);
// Same, with the given boot programs instead of the embedded ones.
bool WriteStampImage(Device& device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log, const BootPrograms& programs);

// Refuses protected disks before opening anything, then opens the disk and writes the image.
bool WriteDiskStamp(const DiskInfo& disk, const StampPayload& payload, const LogCallback& log);
bool WriteDiskStamp(const DiskInfo& disk, const StampPayload& payload, const LogCallback& log,
                    const BootPrograms& programs);

// Refuses protected disks before opening anything, then zeroes the stamp area.
bool EraseDiskStamp(const DiskInfo& disk, const LogCallback& log);
// Zeroes the stamp area through a device the caller opened (unbuffered, at that sector size).
bool EraseStampArea(Device& device, uint32_t bytesPerSector, const LogCallback& log);

}  // namespace tvde
