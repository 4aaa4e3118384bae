#pragma once
// Drives the real main window in-process (hidden, Wine's null graphics driver): the seam
// answers every prompt, hands the window a disk list and records what it asked for.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app.h"
#include "support/temp_dir.h"

namespace tvde::testing {

struct BoxCall {
  std::wstring text;
  std::wstring title;
  UINT flags = 0;
};

class AppHarness {
 public:
  // Settings live in a scratch INI file whose certificate folder is certificateFolder().
  AppHarness();
  ~AppHarness() {
    if (app_) Stop();
  }
  void Start();  // the application object with the seam below, its window hidden
  void Stop();   // WM_CLOSE as the operator would, then the quit message taken off the queue

  App& app() { return *app_; }
  HWND Control(int id) const { return GetDlgItem(app_->mainWindow, id); }
  void Click(int id) { SendMessageW(Control(id), BM_CLICK, 0, 0); }  // nothing when disabled
  void SelectCombo(int id, int index);
  // This thread's messages dispatched until `done` holds; false after `timeoutMs`.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);
  bool WaitForIdle(int timeoutMs = 30000) {
    return PumpUntil([this] { return app_->busy.load() == 0; }, timeoutMs);
  }
  std::wstring Text(HWND control) const;
  std::vector<std::wstring> ConsoleLines() const;

  AppServices Services();  // the seam below; the dialogs take it as it is

  std::wstring certificateFolder() const { return temp_.File("certs"); }
  const TempDir& temp() const { return temp_; }
  SettingsStore store;

  // What the seam answers.
  std::vector<DiskInfo> disks;
  bool admin = true;
  bool winPE = false;
  std::wstring folderReason;  // non-empty: the certificate folder needs attention
  std::wstring pickerAnswer;  // empty: the picker was cancelled
  std::function<int(const BoxCall&)> answer = [](const BoxCall&) { return IDYES; };
  EraseJobRunner job;  // empty: the real job driver
  bool threadsFail = false;
  std::optional<StampPayload> detectedStamp;  // none: the stamp read from the disk itself
  uint32_t shellOpenError = 0;                // what opening a file answers
  RECT workArea{0, 0, 4000, 3000};
  // The WinPE section: the ISO dialog's answer (empty: cancelled), the builder's jobs (empty:
  // succeed at once); the ADK is looked for in adkRoot() only.
  std::vector<std::wstring> removableDrives;
  std::wstring isoAnswer;
  FileVersionReader fileVersion;  // of the ADK's files; none: no versions to compare
  AdkAcquisitionRunner adkJob;
  WinPEBuildRunner buildJob;
  std::wstring adkRoot() const { return temp_.File("adk kit"); }

  // What the window asked for.
  std::vector<BoxCall> boxes;
  std::vector<ReportDialogRequest> reportRequests;
  std::vector<std::wstring> opened;
  std::vector<std::pair<int32_t, int32_t>> enumerations;  // (environment, unlock)
  int jobsStarted = 0;
  int pickerCalls = 0;
  int elevations = 0;
  std::vector<std::wstring> fontFiles;  // offered to the font seam, in order
  // The session seam's calls: "awake 80000001|block <reason>|unblock|awake 80000000|".
  std::string sessionCalls;
  std::vector<std::wstring> isoSuggestions;

 private:
  TempDir temp_;
  std::unique_ptr<App> app_;
};

// Runs `open` (a modal window of `windowClass` with its own loop) and plays `steps` on it, one a
// timer tick inside that loop so posted keys pass its filter; one still open after is closed.
void DriveModal(const wchar_t* windowClass, const std::function<void()>& open,
                std::vector<std::function<void(HWND)>> steps);

// A disk record for tests: an image file path and an erasable, lettered USB disk by default.
DiskInfo TestDisk(int32_t number, const std::wstring& devicePath, uint64_t sizeBytes);

}  // namespace tvde::testing
