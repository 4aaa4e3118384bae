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
inline constexpr const wchar_t* kLogStampReadBackFailed =
    L"[ERROR] 書き込んだレポートスタンプを読み戻せませんでした (証明書IDが一致しません)。スタンプは記録されていません。";
inline constexpr const wchar_t* kLogStampIdNotStorable =
    L"[ERROR] 証明書IDをスタンプ記録に完全な形で保存できないため、スタンプを書き込みませんでした。";
inline constexpr const wchar_t* kLogStampEraseReadBackFailed =
    L"[ERROR] スタンプ消去後もディスク先頭にレポートスタンプが読み取れます。消去は完了していません。";
inline constexpr const wchar_t* kLogStampWriteRefused =
    L"[SAFETY] 保護ロック中のディスクにはスタンプを書き込めません。";
inline constexpr const wchar_t* kLogStampRefusedUnderWine =
    L"[SAFETY] Wine環境ではホストの実ディスクを保護するため、ディスクデバイスへのスタンプ操作をブロックしました: ";
inline constexpr const wchar_t* kLogStampEraseRefused =
    L"[SAFETY] 保護ロック中のディスクは操作できません。";
inline constexpr const wchar_t* kLogStampVolumesInUse =
    L"[SAFETY] 対象ディスク上のボリュームを排他ロックできないため、スタンプ操作を中止しました。";
inline constexpr const wchar_t* kLogStampWorkingFolderOnDisk =
    L"[SAFETY] プログラムまたは一時フォルダが対象ディスク上にあるため、スタンプ操作を中止しました: ";
inline constexpr const wchar_t* kLogStampSectorSizeUnsupported =
    L"[DISK STAMP] このセクタサイズのディスクにはブータブルレポートスタンプを記録できないため、"
    L"スタンプの記録をスキップしました (論理セクタサイズ ";

// Whether the record of this payload reads back with its certificate ID: false for an ID too
// long for the record or one that holds a separator or a line break.
bool StampKeepsCertificateId(const StampPayload& payload);

// Writes the image through a device the caller opened (unbuffered, at the disk's sector size).
// True only when the whole buffer reached the device, the flush succeeded and the record reads
// back from the device with the payload's certificate ID. A payload whose record could not
// keep its certificate ID is refused before anything is written, and so is a sector size
// without a stamp layout (only 512 and 4096 bytes have one), with a log line.
bool WriteStampImage(Device& device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log);
// A null device is refused without touching anything.
bool WriteStampImage(Device* device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log);
// Same, with the given boot programs instead of the embedded ones.
bool WriteStampImage(Device& device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log, const BootPrograms& programs);

// Refuses protected disks before opening anything, and disks holding the program or the
// temporary folder; takes every volume of the disk away (refusing while one stays mounted),
// then opens the disk, refuses unless it still answers as the listed disk (CheckOpenedDisk),
// and writes the image.
bool WriteDiskStamp(const DiskInfo& disk, const StampPayload& payload, const LogCallback& log);
bool WriteDiskStamp(const DiskInfo& disk, const StampPayload& payload, const LogCallback& log,
                    const BootPrograms& programs);

// Refuses like WriteDiskStamp and takes the volumes away the same way, then zeroes the stamp
// area. True only when no stamp reads back afterwards.
bool EraseDiskStamp(const DiskInfo& disk, const LogCallback& log);
// Zeroes the stamp area through a device the caller opened (unbuffered, at that sector size).
// True only when no stamp reads back afterwards.
bool EraseStampArea(Device& device, uint32_t bytesPerSector, const LogCallback& log);

}  // namespace tvde
