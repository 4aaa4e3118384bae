#pragma once
// The erase request, the progress record and the small enumerations a request carries.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "disk/disk_info.h"
#include "erase/erase_standard.h"
#include "firmware/sanitize_choice.h"

namespace tvde {

// Index in the verification combo box and the persisted setting.
enum class VerifyMode : int32_t {
  None = 0,
  Quick = 1,      // 64 sampled windows
  Full = 2,       // every whole sector, after the last pass
  EveryPass = 3,  // every whole sector, after each pass
};
inline constexpr int32_t kVerifyModeCount = 4;

enum class ExecutionMode : int32_t {
  Simulation = 0,  // dry run: nothing is opened or written
  RealWrite = 1,
};

enum class PostEraseState : int32_t {
  WriteStamp = 0,  // bootable report stamp after a verified real erasure
  PureZero = 1,    // leave the disk all zeroes
};

// Job status codes shared by passes, verification, the job driver and every report.
inline constexpr int32_t kStatusCompleted = 3;
inline constexpr int32_t kStatusCancelled = 4;
inline constexpr int32_t kStatusFailed = 5;

std::wstring VerifyModeLabel(VerifyMode mode);

struct EraseJobConfig {
  DiskInfo disk;
  EraseStandard standard = EraseStandard::NistPurge;
  VerifyMode verifyMode = VerifyMode::Quick;
  ExecutionMode executionMode = ExecutionMode::Simulation;
  PostEraseState postEraseState = PostEraseState::WriteStamp;
  int32_t logOutputDisabled = 0;  // 1: no certificate files, screen report only
  std::wstring operatorName;
  std::wstring organizationName;
  std::wstring notes;
  std::wstring outputFolder;
  std::wstring signingKeyFile;  // PEM private key that signs the reports; empty: unsigned
  // The drive's own erase before the overwrite passes of a real job (Off: none).
  FirmwareMode firmwareMode = FirmwareMode::Off;
};

struct EraseProgressInfo {
  int32_t phase = 0;  // 1 overwrite pass, 2 verification
  int32_t currentPass = 0;
  int32_t totalPasses = 0;
  int32_t overallPercent = 0;
  int32_t passPercent = 0;
  double speedMBps = 0.0;  // MiB per second of the current pass
  std::wstring statusText;
  uint64_t bytesDone = 0;  // of the current pass or read-back; 0 with 0 total: not counted
  uint64_t bytesTotal = 0;
};

inline constexpr int32_t kPhaseOverwrite = 1;
inline constexpr int32_t kPhaseVerify = 2;
inline constexpr int32_t kPhaseFirmware = 3;  // the drive's own erase; passPercent is its progress

// worker thread: both callbacks run synchronously on the thread that runs the job.
using ProgressCallback = std::function<void(const EraseProgressInfo& progress)>;

// Nonzero asks the running job to stop; set by another thread, only read by the job.
using CancelFlag = std::atomic<int32_t>;

}  // namespace tvde
