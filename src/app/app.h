#pragma once
// The application object: the main window, its controls and fonts, the disk list, the
// settings and the erase worker's state. Its behaviour lives in files by concern: the window
// and its controls (main_window*.cpp), the disk list, the log console, the settings controls,
// the erase launch and the worker bridge.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/app_services.h"
#include "app/gdi_font.h"
#include "app/main_controls.h"
#include "app/worker_bridge.h"
#include "disk/disk_info.h"
#include "settings/app_settings.h"

namespace tvde {

inline constexpr UINT WM_APP_PROGRESS = WM_APP + 10;
inline constexpr UINT WM_APP_LOG = WM_APP + 11;
inline constexpr UINT WM_APP_ERASE_DONE = WM_APP + 12;
inline constexpr UINT WM_APP_WINPE_DONE = WM_APP + 13;

inline constexpr const wchar_t* kMainWindowClass = L"TorevalDiskEraserWndClass";
// Not resizable and no maximise box; the client area scrolls where the screen is too small.
inline constexpr DWORD kMainWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

class App {
 public:
  explicit App(AppServices services = DefaultAppServices());
  App(const App&) = delete;
  App& operator=(const App&) = delete;
  // Asks a running job to stop and waits for it, then destroys the window and the fonts.
  ~App();

  // Start-up probes, settings, common controls, window class and the shown main window.
  bool Create(HINSTANCE instanceHandle, int showCommand);
  // Runs until the quit message; answers its wParam.
  int RunMessageLoop();

  static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

  // Disk list and environment labels (disk_list.cpp).
  void RefreshDiskList();
  void OnSelectionChanged();
  // GUI thread only: one time-stamped line at the end of the log console (log_console.cpp).
  void AppendLog(const std::wstring& text);
  // Settings controls (settings_controls.cpp).
  void SaveSettingsFromControls();
  // The certificate folder as the operator sees it, whole.
  std::wstring CertificateFolderText() const;
  void OnLogOutputToggled();
  void OnChangeLogFolder();
  void OnOpenLogFolder();
  void OnRestartAsAdmin();
  // Erase launch and the worker's messages (erase_launch.cpp, progress_display.cpp).
  void OnStartErase();
  void OnAbort();
  void OnOpenCertificate();
  void OnOpenReportDialog();
  // The one report dialog at a time; while it is open a second request only leaves a log line.
  void OpenReportDialog(ReportDialogRequest request);
  void OnProgressMessage();
  void OnLogMessage();
  void OnEraseDone();
  // The WinPE section (winpe_section.cpp): status line, USB list, the two buttons and the end of
  // their jobs (`result` 0 success; `kind` a WinPEJobKind).
  void UpdateAdkStatusLabel();
  void FillUsbTargetCombo();
  void OnAdkButton();
  void OnCreateMediaButton();
  void OnWinPEDone(int32_t result, int32_t kind);
  // GUI thread: the log sink handed to the report dialog's stamp operations.
  LogCallback StampLogSink();

  // worker thread: the log sink of every worker (erase job and WinPE jobs alike).
  void PostLogLine(const std::wstring& line);

  AppServices services;
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;  // kept after destruction: a post to it then simply fails
  bool windowAlive = false;
  GdiFont normalFont, boldFont, titleFont, consoleFont;
  MainControls controls;
  uint32_t monitorDpi = USER_DEFAULT_SCREEN_DPI;
  // The layout's DPI: the monitor's, or less where its work area is smaller than the layout.
  uint32_t dpi = USER_DEFAULT_SCREEN_DPI;
  POINT scroll{0, 0};  // the client area's view of the layout, in pixels
  int32_t isWinPE = 0;
  int32_t isAdmin = 0;
  AppSettings settings;
  std::vector<DiskInfo> disks;
  int32_t selectedDiskIndex = -1;
  CancelFlag cancelRequested{0};
  std::atomic<int32_t> busy{0};
  std::thread eraseWorker;
  std::thread winpeWorker;       // the ADK acquisition or media build; shares `busy` with the erase
  bool winpeJobRunning = false;  // GUI thread: from the WinPE worker's start to its end message
  bool reportDialogOpen = false;  // GUI thread
  WorkerMailbox mailbox;          // stateMutex, progressSnapshot, pendingLogLines, lastResult
  std::optional<SessionHold> sessionHold;  // GUI thread: while an erase or WinPE job runs

 private:
  void OnCreate(HWND window);
  void OnClose();
  bool OnCommand(int32_t id, int32_t notification);  // false: not handled here
  void OnDpiChanged(uint32_t newDpi, const RECT& suggested);
  // The session while a job runs, and the session's end (long_work.cpp).
  void HoldSession(const wchar_t* reason);
  void ReleaseSession();
  bool OnQueryEndSession();
  void OnEndSession(bool ending);
  void StartEraseWorker(const EraseJobConfig& config);
  void StartWinPEWorker(std::unique_ptr<WinPEWorkerStart> start);
  void ShowBox(const std::wstring& text, const std::wstring& title, UINT flags);
  int AskBox(const std::wstring& text, const std::wstring& title, UINT flags);
};

}  // namespace tvde
