// TRIM notice and partition-table wipe.
#include "erase/device_preparation.h"

#include <algorithm>
#include <string>

#include "base/page_buffer.h"
#include "base/system_error.h"
#include "disk/disk_info.h"
#include "erase/disk_error_text.h"

namespace tvde {
namespace {

// Empty when the whole buffer was written at `offset`, else why not; `written` is what the
// device took.
std::wstring WriteAt(Device& disk, uint64_t offset, std::span<const uint8_t> data,
                     size_t& written) {
  written = 0;
  if (!disk.Seek(offset)) return DescribeDiskError(LastSystemError());
  const IoResult result = disk.Write(data);
  if (!result.ok) return DescribeDiskError(result.error);
  written = result.bytes;
  if (result.bytes != data.size())
    return std::to_wstring(result.bytes) + L" / " + std::to_wstring(data.size()) + L" バイト";
  return L"";
}

}  // namespace

std::wstring SendTrimForWholeDisk(Device& disk, uint64_t sizeBytes, const LogCallback& log) {
  if (disk.TrimWholeDevice(sizeBytes)) {
    EmitLog(
        log,
        L"[NIST 800-88 / SSD] ストレージコントローラへ全LBA領域 TRIM / Deallocate 通知を発行しました。");
    return kTrimAccepted;
  }
  EmitLog(
      log,
      L"[INFO] ハードウェアTRIM通知はスキップされました。物理セクタの完全上書きパージを実行します。原因: " +
          DescribeDiskError(LastSystemError()));
  return kTrimRefused;
}

std::optional<uint64_t> BackupWipeOffset(uint64_t sizeBytes, uint32_t sectorSize) {
  if (sizeBytes <= 2 * kPartitionWipeBytes) return std::nullopt;
  const uint64_t sector = EffectiveSectorSize(sectorSize);
  return (sizeBytes - kPartitionWipeBytes) / sector * sector;
}

std::vector<ByteRange> WipePartitionTables(Device& disk, uint64_t sizeBytes, uint32_t sectorSize,
                                           const LogCallback& log) {
  disk.DeleteDriveLayout();  // the zero writes below destroy the layout either way

  std::vector<ByteRange> zeroed;
  PageBuffer zeroes = PageBuffer::Allocate(kPartitionWipeBytes);
  if (!zeroes.valid()) return zeroed;

  bool ok = true;
  auto wipe = [&](uint64_t offset, size_t bytes) {
    size_t written = 0;
    const std::wstring failure = WriteAt(disk, offset, zeroes.span().first(bytes), written);
    if (written > 0) zeroed.push_back({offset, written});
    if (failure.empty()) return;
    ok = false;
    EmitLog(log, L"[ERROR] パーティションテーブル領域 (オフセット " + std::to_wstring(offset) +
                     L" バイト) のゼロクリア書き込みに失敗しました。原因: " + failure);
  };
  // A disk smaller than the wipe buffer gets its whole sectors only: writing past its end
  // would fail on a disk (and grow an image file).
  const uint64_t sector = EffectiveSectorSize(sectorSize);
  const uint64_t wholeSectorBytes = sizeBytes / sector * sector;
  const size_t firstBytes =
      static_cast<size_t>(std::min<uint64_t>(kPartitionWipeBytes, wholeSectorBytes));
  if (firstBytes > 0) wipe(0, firstBytes);
  if (const auto backup = BackupWipeOffset(sizeBytes, sectorSize))
    wipe(*backup, kPartitionWipeBytes);

  if (!disk.Flush()) {
    ok = false;
    EmitLog(
        log,
        L"[ERROR] パーティションテーブル破棄後のフラッシュ (書き込み確定) に失敗しました。原因: " +
            DescribeDiskError(LastSystemError()));
  }
  disk.UpdateProperties();  // let the system re-read the now empty layout
  if (ok) {
    EmitLog(
        log,
        L"[PARTITION] MBRおよびGPT(Primary/Backup)パーティションテーブルを完全に破棄・ゼロクリアしました。");
  }
  return zeroed;
}

}  // namespace tvde
