// Real and simulated overwrite passes: chunking, the tail rule, progress and cancellation.
#include "erase/overwrite_pass.h"

#include <algorithm>

#include "base/clock.h"
#include "base/page_buffer.h"
#include "base/system_error.h"
#include "erase/chunk_pipeline.h"
#include "erase/disk_error_text.h"

namespace tvde {
namespace {

bool Cancelled(const CancelFlag& cancel) {
  return cancel.load() != 0;
}

// Without a successful flush the device has not confirmed that the data is stored.
bool FlushOrLog(Device& disk, uint64_t written, const PassSpec& pass, const LogCallback& log) {
  if (disk.Flush()) return true;
  const uint32_t error = LastSystemError();
  EmitLog(log, L"[ERROR] ディスクへのフラッシュ (書き込み確定) に失敗しました (オフセット " +
                   std::to_wstring(written) + L" バイトまで, " + pass.name + L"): " +
                   DescribeDiskError(error));
  return false;
}

// Writes the whole chunk, taking up where a write that took only part of it stopped, so that
// every chunk lands at its own offset and the data at each offset stays the one FillPassData
// gives. Logs and returns false at a failed write or one that takes nothing.
bool WriteChunk(Device& disk, std::span<const uint8_t> chunk, uint64_t offset, const PassSpec& pass,
                const LogCallback& log) {
  size_t done = 0;
  while (done < chunk.size()) {
    const IoResult result = disk.Write(chunk.subspan(done));
    if (!result.ok || result.bytes == 0) {
      EmitLog(log, L"[ERROR] 書き込みに失敗しました (オフセット " + std::to_wstring(offset + done) +
                       L" バイト, " + pass.name + L"): " +
                       (result.ok ? std::wstring(L"0 バイトしか書き込めませんでした")
                                  : DescribeDiskError(result.error)));
      return false;
    }
    done += result.bytes;
  }
  return true;
}

}  // namespace

uint64_t NextChunkBytes(uint64_t remaining, uint32_t sectorSize) {
  if (remaining >= kWriteChunkBytes) return kWriteChunkBytes;
  const uint64_t sector = EffectiveSectorSize(sectorSize);
  return remaining / sector * sector;
}

int32_t OverallPassPercent(int32_t passPercent, int32_t passNumber, int32_t totalPasses) {
  // A plan always has at least one pass; a zero from a careless caller must not divide.
  return (passPercent + 100 * passNumber - 100) / std::max(totalPasses, 1);
}

int32_t RunHardwarePass(Device& disk, const EraseJobConfig& config, const PassSpec& pass,
                        int32_t totalPasses, const CancelFlag& cancel,
                        const ProgressCallback& progress, const LogCallback& log,
                        const PassStream& randomStream) {
  EmitLog(log, L"[HARDWARE WRITE] 開始: " + pass.name);

  const bool random = pass.kind == PassKind::Random;
  const uint64_t total = config.disk.sizeBytes;
  PageBuffer buffer;
  // Random data is produced one chunk ahead of the writes, each chunk at its own offset.
  ChunkPipeline generator(randomStream, total);
  if (random) {
    if (!generator.Allocate(kWriteChunkBytes)) return kStatusFailed;
  } else {
    buffer = PageBuffer::Allocate(kWriteChunkBytes);
    if (!buffer.valid()) return kStatusFailed;
    // Chunks start at multiples of the chunk size, so one chunk's data serves for all.
    FillPassData(pass, {}, 0, buffer.span());
  }

  if (!disk.Seek(0)) return kStatusFailed;
  const uint32_t sector = EffectiveSectorSize(config.disk.bytesPerSector);
  uint64_t written = 0;
  uint64_t flushedUpTo = 0;
  const uint64_t start = TickCountMs();

  while (written < total) {
    if (Cancelled(cancel)) return kStatusCancelled;
    const uint64_t chunk = NextChunkBytes(total - written, sector);
    if (chunk == 0) break;  // a tail shorter than one sector cannot be addressed

    std::span<const uint8_t> data = buffer.span();
    if (random) {
      data = generator.Next();
      if (data.size() < chunk) {
        // Writing whatever the buffer held would leave a disk that only looks randomised.
        EmitLog(log,
                L"[ERROR] 暗号論的乱数の生成に失敗したため、上書きを中止しました: " + pass.name);
        return kStatusFailed;
      }
    }
    if (!WriteChunk(disk, data.first(static_cast<size_t>(chunk)), written, pass, log)) {
      return kStatusFailed;
    }
    written += chunk;
    if (written - flushedUpTo >= kFlushIntervalBytes) {
      if (!FlushOrLog(disk, written, pass, log)) return kStatusFailed;
      flushedUpTo = written;
    }

    if (progress) {
      const uint64_t elapsedMs = TickCountMs() - start;
      EraseProgressInfo info;
      info.phase = kPhaseOverwrite;
      info.currentPass = pass.passNumber;
      info.totalPasses = totalPasses;
      info.passPercent = static_cast<int32_t>(written * 100 / total);
      info.overallPercent = OverallPassPercent(info.passPercent, pass.passNumber, totalPasses);
      info.speedMBps = elapsedMs == 0 ? 0.0
                                      : (static_cast<double>(written) * (1.0 / 1048576.0)) /
                                            (static_cast<double>(elapsedMs) / 1000.0);
      info.bytesDone = written;
      info.bytesTotal = total;
      info.statusText = pass.name;
      progress(info);
    }
  }

  if (!FlushOrLog(disk, written, pass, log)) return kStatusFailed;
  EmitLog(log, L"[HARDWARE WRITE] 完了: " + pass.name);
  return kStatusCompleted;
}

int32_t RunSimulationPass(const EraseJobConfig& /*config*/, const PassSpec& pass,
                          int32_t totalPasses, const CancelFlag& cancel,
                          const ProgressCallback& progress, const LogCallback& log) {
  EmitLog(log, L"[SIMULATION] 開始: " + pass.name);
  for (int32_t step = 1; step <= kSimulationSteps; ++step) {
    if (Cancelled(cancel)) return kStatusCancelled;
    SleepMs(kSimulationStepMs);
    if (progress) {
      EraseProgressInfo info;
      info.phase = kPhaseOverwrite;
      info.currentPass = pass.passNumber;
      info.totalPasses = totalPasses;
      info.passPercent = 4 * step;
      info.overallPercent = OverallPassPercent(4 * step, pass.passNumber, totalPasses);
      info.speedMBps = 1250.0 + 35.5 * (step % 7);
      info.statusText = L"[安全シミュレーション] " + pass.name;
      progress(info);
    }
  }
  EmitLog(log, L"[SIMULATION] 完了: " + pass.name);
  return kStatusCompleted;
}

}  // namespace tvde
