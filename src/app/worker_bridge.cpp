// The mailbox between workers and the GUI thread, and the workers themselves.
#include "app/worker_bridge.h"

#include <utility>

#include "app/app.h"

namespace tvde {
namespace {

// worker thread: posts unless a message is already on its way. A refused post (the window is
// gone, or the queue is full) clears the mark so that the next publication tries again.
void PostOnce(bool& pending, HWND window, UINT message) {
  if (pending) return;
  pending = true;
  if (!PostMessageW(window, message, 0, 0)) pending = false;
}

}  // namespace

void PublishProgress(WorkerMailbox& mailbox, HWND window, UINT message,
                     const EraseProgressInfo& progress) {
  std::lock_guard<std::mutex> lock(mailbox.stateMutex);
  mailbox.progressSnapshot = progress;
  PostOnce(mailbox.progressMessagePending, window, message);
}

void PublishLogLine(WorkerMailbox& mailbox, HWND window, UINT message, const std::wstring& line) {
  std::lock_guard<std::mutex> lock(mailbox.stateMutex);
  mailbox.pendingLogLines.push_back(line);
  PostOnce(mailbox.logMessagePending, window, message);
}

EraseProgressInfo TakeProgress(WorkerMailbox& mailbox) {
  std::lock_guard<std::mutex> lock(mailbox.stateMutex);
  mailbox.progressMessagePending = false;
  return mailbox.progressSnapshot;
}

std::vector<std::wstring> TakeLogLines(WorkerMailbox& mailbox) {
  std::lock_guard<std::mutex> lock(mailbox.stateMutex);
  mailbox.logMessagePending = false;
  return std::exchange(mailbox.pendingLogLines, {});
}

ReportData CopyLastResult(WorkerMailbox& mailbox) {
  std::lock_guard<std::mutex> lock(mailbox.stateMutex);
  return mailbox.lastResult;
}

void EraseWorkerMain(std::unique_ptr<EraseWorkerStart> start) {
  App& app = *start->app;
  const ProgressCallback progress = [&app](const EraseProgressInfo& info) {
    PublishProgress(app.mailbox, app.mainWindow, WM_APP_PROGRESS, info);
  };
  const LogCallback log = [&app](const std::wstring& line) { app.PostLogLine(line); };
  ReportData result =
      app.services.runEraseJob(start->config, start->isWinPE, app.cancelRequested, progress, log);
  {
    std::lock_guard<std::mutex> lock(app.mailbox.stateMutex);
    app.mailbox.lastResult = std::move(result);
  }
  PostMessageW(app.mainWindow, WM_APP_ERASE_DONE, 0, 0);
}

void WinPEWorkerMain(std::unique_ptr<WinPEWorkerStart> start) {
  App& app = *start->app;
  const LogCallback log = [&app](const std::wstring& line) { app.PostLogLine(line); };
  const AppServices& services = app.services;
  const int32_t result =
      start->kind == kWinPEJobAdk
          ? services.acquireAdk(start->adkChoice, start->downloadFolder, log, services.winpeHost)
          : services.buildWinPEMedia(start->request, log, services.winpeHost);
  PostMessageW(app.mainWindow, WM_APP_WINPE_DONE, static_cast<WPARAM>(result != 0 ? 1 : 0),
               static_cast<LPARAM>(start->kind));
}

}  // namespace tvde
