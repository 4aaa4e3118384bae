#pragma once
// Everything the main window asks of the world outside its own controls: prompts, the shell,
// the folder picker, the report dialog, the machine's disks and probes, the settings store and
// the job itself. The defaults make the real calls; tests replace members to answer prompts,
// hand the window a disk list and watch what it starts.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/session_hold.h"
#include "base/log_callback.h"
#include "disk/disk_info.h"
#include "erase/erase_job.h"
#include "report/report_data.h"
#include "settings/app_settings.h"
#include "stamp/stamp_payload.h"
#include "winpe/winpe_build.h"
#include "winpe/winpe_host.h"

namespace tvde {

// What the report and stamp dialog is opened with (copies; the dialog never changes them).
struct ReportDialogRequest {
  StampPayload payload;
  std::wstring htmlPath;
  std::optional<ReportData> result;  // the finished job, when there is one
  std::optional<DiskInfo> disk;      // the disk whose stamp the dialog may switch
  LogCallback log;                   // GUI thread: the stamp operations' lines; may be empty
  std::function<bool()> jobRunning;  // whether an erase or WinPE job runs now; may be empty
};

// MessageBoxW: the pressed button (IDYES, IDNO, IDCANCEL, IDOK).
using MessageBoxPrompt =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& title, UINT flags)>;

using EraseJobRunner = std::function<ReportData(
    const EraseJobConfig& config, int32_t isWinPE, const CancelFlag& cancel,
    const ProgressCallback& progress, const LogCallback& log)>;
// The media builder's two jobs (AcquireAdk, BuildWinPEMedia), run on the machine `host`.
using AdkAcquisitionRunner = std::function<int32_t(int32_t choice, const std::wstring& folder,
                                                   LogCallback log, const WinPEHost& host)>;
using WinPEBuildRunner = std::function<int32_t(const WinPEBuildRequest& request, LogCallback log,
                                               const WinPEHost& host)>;

struct AppServices {
  MessageBoxPrompt messageBox;
  // The shell's "open" verb on a file or folder: 0, or the Win32 error why it did not open.
  std::function<uint32_t(HWND owner, const std::wstring& path)> shellOpen;
  // Starts `program` elevated (the shell's "runas" verb); false when it did not start.
  std::function<bool(HWND owner, const std::wstring& program)> runAsAdministrator;
  // The certificate-folder picker: the accepted folder, or empty when the operator cancelled.
  std::function<std::wstring(HWND owner, const std::wstring& startFolder)> pickOutputFolder;
  // Whether a configured certificate folder needs the operator's attention, with the reason.
  std::function<bool(const std::wstring& folder, std::wstring& reason)> checkOutputFolder;
  std::function<void(HWND owner, const ReportDialogRequest& request)> showReportDialog;
  std::function<std::vector<DiskInfo>(int32_t environmentMode, int32_t unlockInternal)>
      enumerateDisks;
  std::function<StampPayload(const DiskInfo& disk)> detectDiskStamp;
  std::function<bool()> isRunningAsAdmin;
  std::function<bool()> isWinPEEnvironment;
  // Adds one font file for this process's windows; false when it is missing or unusable.
  std::function<bool(const std::wstring& path)> addFontFile;
  // Starts `body` on `worker`; false (with `worker` left empty) when the system refuses.
  std::function<bool(std::thread& worker, std::function<void()> body)> startThread;
  EraseJobRunner runEraseJob;
  SettingsStore settingsStore;
  // The WinPE section: the removable drives as USB list entries, the ISO save dialog (the
  // chosen file, or empty when the operator cancelled), the machine the builder works on (its
  // ADK folders decide the status line) and the builder's jobs.
  std::function<std::vector<std::wstring>()> listRemovableDrives;
  std::function<std::wstring(HWND owner, const std::wstring& suggestedName)> pickIsoFile;
  WinPEHost winpeHost;
  AdkAcquisitionRunner acquireAdk;
  WinPEBuildRunner buildWinPEMedia;
  // The work area of the monitor that holds most of a rectangle (screen coordinates).
  std::function<RECT(const RECT& rect)> workAreaAt;
  // Sleep and shutdown while long work runs.
  SessionServices session;
};

AppServices DefaultAppServices();

}  // namespace tvde
