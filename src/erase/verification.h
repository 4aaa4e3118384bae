#pragma once
// Read-back verification of an erased disk against what its passes wrote: every whole sector
// (full surface, and every pass when asked) or 64 evenly spaced 64 KiB windows (quick), each
// byte compared with the pass data, random passes with their regenerated stream.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/device.h"
#include "base/log_callback.h"
#include "erase/erase_job.h"
#include "erase/erase_standard.h"
#include "erase/pass_data.h"

namespace tvde {

inline constexpr size_t kVerifySampleBytes = 65536;
inline constexpr int32_t kQuickVerifySamples = 64;
// A full-surface read-back reads in chunks of this size, the last one shorter.
inline constexpr size_t kVerifyChunkBytes = kWriteChunkBytes;

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

// What one read-back read and what it compared the bytes with: the facts the reports state.
struct ReadBackFacts {
  bool fullSurface = false;
  int32_t windows = 0;          // windows planned, for a sampled read-back
  uint64_t sectorsRead = 0;     // distinct whole sectors read back and, with a pass, compared
  uint64_t sectorsTotal = 0;    // whole sectors of the target
  bool complete = false;        // everything planned was read and matched
  bool zeroedCompared = false;  // some bytes lay in the zeroed ranges and were compared with 0
  int32_t passNumber = 0;       // the pass compared with; 0 when none was
  PassKind passKind = PassKind::FixedByte;
  std::array<uint8_t, 3> pattern{};
};

// Returns kStatusCompleted, kStatusCancelled or kStatusFailed and sets `verdict` to the text
// stored in the job result. `disk` is only read in a real job (null in a simulation). A mismatch
// logs the offset of the first wrong byte and the pass it was compared with. `facts` (when
// given) receives what a real read-back covered, also when it stopped early.
// worker thread: the callbacks run on the calling thread.
int32_t VerifyErasure(Device* disk, const EraseJobConfig& config, const ExpectedContent& expected,
                      const CancelFlag& cancel, const ProgressCallback& progress,
                      const LogCallback& log, std::wstring& verdict,
                      ReadBackFacts* facts = nullptr);

}  // namespace tvde
