#pragma once
// Read-back verification of an erased disk: 64 or 256 evenly spaced 64 KiB samples, compared
// byte by byte when the last pass wrote a single fixed byte.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/device.h"
#include "base/log_callback.h"
#include "erase/erase_job.h"
#include "erase/erase_standard.h"

namespace tvde {

inline constexpr size_t kVerifySampleBytes = 65536;
inline constexpr int32_t kQuickVerifySamples = 64;
inline constexpr int32_t kFullVerifySamples = 256;

// The verdict of a job that was asked not to verify: nothing was read back.
inline constexpr const wchar_t* kVerdictSkipped = L"SKIPPED (検証なし設定)";

// True for a verdict that says verification did not run because it was not asked for.
bool IsSkippedVerdict(std::wstring_view verdict);

// Where sample `index` of `samples` is read: the first at LBA 0, the others stepping evenly
// towards the last whole window. A window is 64 KiB, or one sector where a sector is larger.
// A disk smaller than one window is read whole at LBA 0; `bytes` is 0 when the disk holds no
// whole sector.
struct VerifySampleWindow {
  uint64_t offset = 0;
  size_t bytes = 0;
};
VerifySampleWindow SampleWindow(uint64_t sizeBytes, uint32_t sectorSize, int32_t index,
                                int32_t samples);

// Returns kStatusCompleted, kStatusCancelled or kStatusFailed and sets `verdict` to the text
// stored in the job result. `disk` is only read in a real job (null in a simulation);
// `lastPass` is the plan's last pass, null for an empty plan (no content comparison).
// worker thread: the callbacks run on the calling thread.
int32_t VerifyErasure(Device* disk, const EraseJobConfig& config, const PassSpec* lastPass,
                      const CancelFlag& cancel, const ProgressCallback& progress,
                      const LogCallback& log, std::wstring& verdict);

}  // namespace tvde
