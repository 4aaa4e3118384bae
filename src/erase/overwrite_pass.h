#pragma once
// One overwrite pass over a whole disk: for real through a Device, or as a paced simulation
// that touches nothing.

#include <cstddef>
#include <cstdint>

#include "base/device.h"
#include "base/log_callback.h"
#include "erase/erase_job.h"
#include "erase/erase_standard.h"
#include "erase/pass_data.h"

namespace tvde {

// A pass flushes after every this many bytes, so that its progress never runs far ahead of
// what the device has confirmed.
inline constexpr uint64_t kFlushIntervalBytes = uint64_t{1} << 30;
inline constexpr int32_t kSimulationSteps = 25;
inline constexpr uint32_t kSimulationStepMs = 30;

// Writes the pass's data from byte 0 to the last whole sector of config.disk.sizeBytes in
// 4 MiB chunks, so that the byte at every offset is what FillPassData gives for it, reporting
// progress after every chunk and flushing after every kFlushIntervalBytes and at the end. A
// random pass writes `randomStream`, generated one chunk ahead on a thread of its own. Returns
// kStatusCompleted (flushed), kStatusCancelled (noticed between chunks; no final flush, no end
// line) or kStatusFailed (no buffer, write error, no or failed random stream, failed flush).
// worker thread: the callbacks run on the calling thread.
int32_t RunHardwarePass(Device& disk, const EraseJobConfig& config, const PassSpec& pass,
                        int32_t totalPasses, const CancelFlag& cancel,
                        const ProgressCallback& progress, const LogCallback& log,
                        const PassStream& randomStream = {});

// Paces 25 progress steps of 30 ms without opening anything. kStatusCompleted or
// kStatusCancelled.
int32_t RunSimulationPass(const EraseJobConfig& config, const PassSpec& pass, int32_t totalPasses,
                          const CancelFlag& cancel, const ProgressCallback& progress,
                          const LogCallback& log);

// Bytes of the next write: a full chunk, else the whole sectors that fit in `remaining`
// (0 when less than one sector is left: that tail is never written).
uint64_t NextChunkBytes(uint64_t remaining, uint32_t sectorSize);

// Percent of the whole plan after `passPercent` of pass `passNumber` out of `totalPasses`.
int32_t OverallPassPercent(int32_t passPercent, int32_t passNumber, int32_t totalPasses);

}  // namespace tvde
