// The main window under test: a hidden window, the seam answered by the harness.
#include "app_harness.h"

#include <filesystem>

#include "app/win_controls.h"
#include "base/text.h"
#include "job/erase_job_driver.h"
#include "stamp/stamp_detect.h"
#include "support/text_matchers.h"

namespace tvde::testing {

AppHarness::AppHarness() {
  store.iniPath = temp_.File("settings.ini");
  std::filesystem::create_directories(temp_.path() / "certs");
  AppSettings settings;
  settings.certOutputDir = certificateFolder();
  SaveSettingsTo(store, settings);
}

AppServices AppHarness::Services() {
  AppServices services;
  services.messageBox = [this](HWND, const std::wstring& text, const std::wstring& title,
                               UINT flags) {
    boxes.push_back({text, title, flags});
    return answer(boxes.back());
  };
  services.shellOpen = [this](HWND, const std::wstring& path) {
    return opened.push_back(path), shellOpenError;
  };
  services.runAsAdministrator = [this](HWND, const std::wstring&) { return ++elevations, false; };
  services.pickOutputFolder = [this](HWND, const std::wstring&) {
    return ++pickerCalls, pickerAnswer;
  };
  services.checkOutputFolder = [this](const std::wstring&, std::wstring& reason) {
    reason = folderReason;
    return !folderReason.empty();
  };
  services.showReportDialog = [this](HWND, const ReportDialogRequest& r) {
    reportRequests.push_back(r);
  };
  services.enumerateDisks = [this](int32_t environment, int32_t unlock) {
    return enumerations.emplace_back(environment, unlock), disks;
  };
  services.detectDiskStamp = [this](const DiskInfo& disk) {
    return detectedStamp ? *detectedStamp : DetectDiskStamp(disk, HardwareProfile{});
  };
  services.isRunningAsAdmin = [this] { return admin; };
  services.isWinPEEnvironment = [this] { return winPE; };
  services.addFontFile = [this](const std::wstring& path) {
    return fontFiles.push_back(path), false;
  };
  services.workAreaAt = [this](const RECT&) { return workArea; };
  services.session.setExecutionState = [this](EXECUTION_STATE state) {
    sessionCalls += U8(L"awake " + FormatPrintfW("%08lx|", state));
    return EXECUTION_STATE{ES_CONTINUOUS};
  };
  services.session.blockShutdown = [this](HWND, const std::wstring& reason) {
    return sessionCalls += "block " + U8(reason) + "|", true;
  };
  services.session.unblockShutdown = [this](HWND) { return sessionCalls += "unblock|", true; };
  services.startThread = [this](std::thread& worker, std::function<void()> body) {
    if (!threadsFail) worker = std::thread(std::move(body));
    return !threadsFail;
  };
  services.runEraseJob = [this](const EraseJobConfig& config, int32_t isWinPE,
                                const CancelFlag& cancel, const ProgressCallback& progress,
                                const LogCallback& log) {
    ++jobsStarted;
    return job ? job(config, isWinPE, cancel, progress, log)
               : RunEraseJob(config, isWinPE, cancel, progress, log);
  };
  services.settingsStore = store;
  services.listRemovableDrives = [this] { return removableDrives; };
  services.pickIsoFile = [this](HWND, const std::wstring& suggested) {
    return isoSuggestions.push_back(suggested), isoAnswer;
  };
  services.winpeHost.adkRootCandidates = {adkRoot()};
  services.winpeHost.programPath = temp_.File("program\\TorevalDiskEraser.exe");
  services.winpeHost.fileVersion = fileVersion;
  services.acquireAdk = [this](int32_t choice, const std::wstring& folder, LogCallback log,
                               const WinPEHost& host) {
    return adkJob ? adkJob(choice, folder, log, host) : 0;
  };
  services.buildWinPEMedia = [this](const WinPEBuildRequest& request, LogCallback log,
                                    const WinPEHost& host) {
    return buildJob ? buildJob(request, log, host) : 0;
  };
  return services;
}

void AppHarness::Start() {
  app_ = std::make_unique<App>(Services());
  app_->Create(GetModuleHandleW(nullptr), SW_HIDE);
}

void AppHarness::Stop() {
  if (app_->windowAlive) SendMessageW(app_->mainWindow, WM_CLOSE, 0, 0);
  app_.reset();
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

void AppHarness::SelectCombo(int id, int index) {
  SetComboSelection(Control(id), index);
  SendMessageW(app_->mainWindow, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(Control(id)));
}

bool AppHarness::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  while (!done()) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (GetTickCount64() > deadline) return done();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

std::wstring AppHarness::Text(HWND control) const {
  return GetText(control, static_cast<size_t>(GetWindowTextLengthW(control)));
}

std::vector<std::wstring> AppHarness::ConsoleLines() const {
  const std::wstring text = Text(app_->controls.logConsole);
  std::vector<std::wstring> lines;
  size_t begin = 0;
  for (size_t end; (end = text.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2)
    lines.push_back(text.substr(begin, end - begin));
  return lines;
}

namespace {

struct ModalScript {
  const wchar_t* windowClass = nullptr;
  std::vector<std::function<void(HWND)>> steps;
  size_t next = 0;
};
ModalScript* activeScript = nullptr;

// This thread's window of the class: tests in other processes may show the same windows.
HWND FindOwnWindow(const wchar_t* windowClass) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, windowClass, nullptr));)
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) return window;
  return nullptr;
}

void CALLBACK PlayNextStep(HWND, UINT, UINT_PTR timer, DWORD) {
  ModalScript& script = *activeScript;
  const HWND window = FindOwnWindow(script.windowClass);
  if (window == nullptr) return;  // not created yet, or already gone
  if (script.next < script.steps.size()) return script.steps[script.next++](window);
  KillTimer(nullptr, timer);
  DestroyWindow(window);
}

}  // namespace

void DriveModal(const wchar_t* windowClass, const std::function<void()>& open,
                std::vector<std::function<void(HWND)>> steps) {
  ModalScript script{windowClass, std::move(steps)};
  activeScript = &script;
  const UINT_PTR timer = SetTimer(nullptr, 0, 20, PlayNextStep);
  open();
  KillTimer(nullptr, timer);
  activeScript = nullptr;
}

DiskInfo TestDisk(int32_t number, const std::wstring& devicePath, uint64_t sizeBytes) {
  DiskInfo disk;
  disk.diskNumber = number;
  disk.devicePath = devicePath;
  disk.model = L"Toreval Test Disk " + std::to_wstring(number);
  disk.serialNumber = L"TT-" + std::to_wstring(number);
  disk.driveLetters = L"E:";
  disk.sizeBytes = sizeBytes;
  disk.mediaType = MediaKind::Removable;
  disk.busType = BusKind::Usb;
  disk.safetyStatus = SafetyStatus::Erasable;
  return disk;
}

}  // namespace tvde::testing
