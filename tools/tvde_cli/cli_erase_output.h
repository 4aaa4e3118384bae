#pragma once
// What the erase command prints: time-stamped console lines, throttled progress lines, the
// closing summary, and the exit code a finished job gives.

#include <cstdint>
#include <string>

#include "erase/erase_job.h"
#include "report/report_data.h"

namespace tvde::cli {

// "[" + time stamp + "] " + line, in UTF-8 (the form of the program's log console).
std::string ConsoleLine(const std::wstring& timestamp, const std::wstring& line);

// One progress record as a line: "[PROGRESS] pass 1/3 | " (or "[PROGRESS] verify | ") and
// then the status line of the program's main window.
std::wstring FormatProgress(const EraseProgressInfo& progress);

// Seconds the rest of the job needs at the current speed: the rest of this pass or read-back,
// the passes after it and the read-backs the verification mode still asks for (a sampled
// verification counts as nothing). -1 when it cannot be told (no speed yet, a firmware erase).
int64_t SecondsLeft(const EraseProgressInfo& progress, const EraseJobConfig& config);

// The terminal's live line, ASCII only and shorter than 80 columns:
// "[PROGRESS] pass 1/3 | 42% | overall 14% | 123.4 MB/s | 0:12:34 left".
std::string FormatLiveProgress(const EraseProgressInfo& progress, int64_t secondsLeft);

// One JSON object on one line: phase, pass, passes, percent (of the job), passPercent,
// bytesDone, bytesTotal, speedMBps, secondsLeft (null when unknown).
std::string FormatProgressJson(const EraseProgressInfo& progress, int64_t secondsLeft);

// Keeps progress output readable: a record is printed when it starts a new phase or pass,
// when it ends a pass, or when its pass percentage moved and the interval has gone by since
// the last printed line. So a pass prints at most one line per percent and per interval.
class ProgressThrottle {
 public:
  explicit ProgressThrottle(uint64_t intervalMs = 1000) : intervalMs_(intervalMs) {}
  bool ShouldPrint(const EraseProgressInfo& progress, uint64_t nowMs);

 private:
  uint64_t intervalMs_;
  bool printedAny_ = false;
  int32_t phase_ = 0;
  int32_t pass_ = 0;
  int32_t percent_ = 0;
  uint64_t lastMs_ = 0;
};

// What the command asked of the job, beyond its record.
struct EraseRequest {
  bool reportsWanted = true;
  bool stampWanted = true;    // only counts in a real write
  bool progressJson = false;  // --progress json: JSON progress lines on standard error
};

// True when the job ended before it began (refused by the safety guard or the disk could not
// be opened): such a job writes no certificate files.
bool EndedBeforeStart(const ReportData& result);

// kExitOk only for a completed job whose reports and stamp (as asked) were written.
int EraseExitCode(const ReportData& result, const EraseRequest& request);

// The closing summary, one "Name : value" line each, in UTF-8.
std::string FormatSummary(const ReportData& result, const EraseRequest& request);

}  // namespace tvde::cli
