#pragma once
// Where worker threads and the GUI thread meet: one mutex guarding the newest progress record,
// the log lines not yet shown and the last job's result. Workers store and post a message
// without payload; the GUI copies the newest state out when it handles the message.
//
// A fast job reports far more often than the GUI can draw, so a progress message is posted
// only when none is on its way (the one in the queue will show the newest record), and the
// same holds for log messages (the one in the queue takes every pending line, in order).

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "erase/erase_job.h"
#include "report/report_data.h"
#include "winpe/winpe_build.h"

namespace tvde {

class App;

struct WorkerMailbox {
  std::mutex stateMutex;
  EraseProgressInfo progressSnapshot;
  std::vector<std::wstring> pendingLogLines;
  ReportData lastResult;
  bool progressMessagePending = false;
  bool logMessagePending = false;
};

// worker thread: store the record or line and post `message` to `window` unless one is pending.
void PublishProgress(WorkerMailbox& mailbox, HWND window, UINT message,
                     const EraseProgressInfo& progress);
void PublishLogLine(WorkerMailbox& mailbox, HWND window, UINT message, const std::wstring& line);

// GUI thread: the newest record and every pending line; the next publication posts again.
EraseProgressInfo TakeProgress(WorkerMailbox& mailbox);
std::vector<std::wstring> TakeLogLines(WorkerMailbox& mailbox);
ReportData CopyLastResult(WorkerMailbox& mailbox);

// Allocated by the GUI thread, owned and freed by the worker.
struct EraseWorkerStart {
  App* app = nullptr;
  EraseJobConfig config;
  int32_t isWinPE = 0;
};

// worker thread: runs the job, publishes its result and posts the finish message.
void EraseWorkerMain(std::unique_ptr<EraseWorkerStart> start);

// The second parameter of the WinPE finish message.
enum WinPEJobKind : int32_t { kWinPEJobAdk = 1, kWinPEJobMedia = 2 };

// Allocated by the GUI thread, owned and freed by the worker: the ADK choice and download
// folder of an acquisition, or the request of a media build.
struct WinPEWorkerStart {
  App* app = nullptr;
  WinPEJobKind kind = kWinPEJobMedia;
  int32_t adkChoice = 0;
  std::wstring downloadFolder;
  WinPEBuildRequest request;
};

// worker thread: runs the job with the workers' log path and posts its result and kind.
void WinPEWorkerMain(std::unique_ptr<WinPEWorkerStart> start);

}  // namespace tvde
