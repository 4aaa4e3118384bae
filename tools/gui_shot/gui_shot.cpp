// Screenshot driver of scripts/screenshots.sh, run under Wine (also used by the product's
// window test):
//   locate SECONDS   waits for the program's main window with its start-up lines and prints
//                    its screen rectangle as WxH+X+Y (ImageMagick's crop geometry)
//   close            asks the program's main window to close
//   showcase FILE    shows the main window fed with sample disks (Wine lists none), runs a
//                    simulated job through its start button, prints the rectangle and stays
//                    until FILE exists
//   scrolled FILE    the same as showcase, the view then scrolled to the bottom right (on a
//                    screen too small for the layout)
//   winpe FILE       shows the main window with a fake ADK and a removable drive in the
//                    WinPE section, prints the rectangle and stays until FILE exists
//   report FILE      the same job, then the report and stamp dialog it opens: prints the
//                    dialog's rectangle and closes it once FILE exists
//   picker FILE      the certificate-folder picker of the main window with its first drive
//                    chosen: prints its rectangle and closes it once FILE exists
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "app/app.h"
#include "app/folder_picker.h"
#include "app/report_dialog.h"
#include "winpe/usb_target.h"

namespace tvde {
namespace {

void PrintGeometry(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
              rect.top);
  std::fflush(stdout);
}

BOOL CALLBACK FindConsole(HWND child, LPARAM found) {
  if (GetWindowLongW(child, GWL_STYLE) & ES_MULTILINE) *reinterpret_cast<HWND*>(found) = child;
  return TRUE;
}

// The shown window of the class: tests running at the same time keep hidden main windows of
// their own, which FindWindowW may answer first.
HWND FindShownWindow(const wchar_t* windowClass) {
  std::pair<const wchar_t*, HWND> search{windowClass, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) {
        auto* found = reinterpret_cast<std::pair<const wchar_t*, HWND>*>(param);
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (IsWindowVisible(window) && std::wstring(name) == found->first) found->second = window;
        return found->second == nullptr ? TRUE : FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.second;
}

int Locate(int seconds) {
  for (int tick = 0; tick < seconds * 10; ++tick, Sleep(100)) {
    const HWND window = FindShownWindow(kMainWindowClass);
    if (window == nullptr) continue;
    HWND console = nullptr;
    EnumChildWindows(window, FindConsole, reinterpret_cast<LPARAM>(&console));
    if (console == nullptr || SendMessageW(console, EM_GETLINECOUNT, 0, 0) < 3) continue;
    Sleep(500);  // the last paint
    PrintGeometry(window);
    return 0;
  }
  std::fprintf(stderr, "gui_shot: no main window after %d s\n", seconds);
  return 1;
}

std::vector<DiskInfo> SampleDisks() {
  struct Sample {
    const wchar_t* model;
    MediaKind media;
    BusKind bus;
    uint64_t size;
    const wchar_t* letters;
    SafetyStatus safety;
  };
  const Sample samples[] = {
      {L"Samsung SSD 980 PRO 1TB", MediaKind::NvmeSsd, BusKind::Nvme, 1000204886016, L"C:",
       SafetyStatus::ProtectedSystemDisk},
      {L"SanDisk Ultra USB 3.0", MediaKind::Removable, BusKind::Usb, 61530439680, L"E:",
       SafetyStatus::Erasable},
      {L"WDC WD20EZAZ-00GGJB0", MediaKind::Hdd, BusKind::Sata, 2000398934016, L"D:",
       SafetyStatus::LockedInternal},
  };
  std::vector<DiskInfo> disks;
  for (const Sample& sample : samples) {
    DiskInfo disk;
    disk.diskNumber = static_cast<int32_t>(disks.size());
    disk.devicePath = L"C:\\tvde-sample-disk.img";  // a simulation never opens it
    disk.model = sample.model;
    disk.serialNumber = L"SN-" + std::to_wstring(7340 + disk.diskNumber);
    disk.mediaType = sample.media;
    disk.busType = sample.bus;
    disk.sizeBytes = sample.size;
    disk.driveLetters = sample.letters;
    disk.safetyStatus = sample.safety;
    disks.push_back(disk);
  }
  return disks;
}

void PumpUntil(const std::function<bool()>& done, ULONGLONG timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (!done() && GetTickCount64() < deadline) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

void SelectRow(HWND list, int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// A modal window of the program, found from a timer inside its own loop: printed once it has
// settled, closed once the sentinel file exists.
struct ModalShot {
  const wchar_t* windowClass = nullptr;
  std::wstring sentinel;
  int ticksShown = 0;
};
ModalShot* activeShot = nullptr;

void CALLBACK WatchModal(HWND, UINT, UINT_PTR, DWORD) {
  ModalShot& shot = *activeShot;
  const HWND window = FindWindowW(shot.windowClass, nullptr);
  if (window == nullptr || !IsWindowVisible(window)) return;
  if (++shot.ticksShown == 1 && shot.windowClass == kFolderPickerClass) {
    const HWND list = GetDlgItem(window, kIdPickerDriveList);
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(kIdPickerDriveList, LBN_SELCHANGE), 0);
  }
  if (shot.ticksShown == 5) PrintGeometry(window);  // after the last paint
  if (shot.ticksShown > 5 && GetFileAttributesW(shot.sentinel.c_str()) != INVALID_FILE_ATTRIBUTES)
    DestroyWindow(window);
}

int Showcase(const std::wstring& sentinel, const wchar_t* modalClass, bool scrolled = false) {
  AppServices services = DefaultAppServices();
  services.enumerateDisks = [](int32_t, int32_t) { return SampleDisks(); };
  services.messageBox = [](HWND, const std::wstring&, const std::wstring&, UINT) {
    return IDYES;  // the final confirmation of the simulation
  };
  if (modalClass != kReportDialogClass)
    services.showReportDialog = [](HWND, const ReportDialogRequest&) {};
  ModalShot shot{modalClass, sentinel};
  activeShot = &shot;
  if (modalClass != nullptr) SetTimer(nullptr, 0, 100, WatchModal);
  App app(services);
  if (!app.Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL)) return 1;
  SelectRow(app.controls.diskList, 1);
  SendMessageW(app.mainWindow, WM_COMMAND, MAKEWPARAM(kIdStartErase, BN_CLICKED), 0);
  PumpUntil([&app] { return app.busy.load() == 0; }, 120000);
  if (modalClass == kReportDialogClass) return 0;  // the dialog has come and gone
  if (modalClass == kFolderPickerClass) {
    SendMessageW(app.mainWindow, WM_COMMAND, MAKEWPARAM(kIdChangeLogFolder, BN_CLICKED), 0);
    return 0;
  }
  SelectRow(app.controls.diskList, 1);  // the refresh after the job selected the first row
  if (scrolled) {
    SendMessageW(app.mainWindow, WM_VSCROLL, SB_BOTTOM, 0);
    SendMessageW(app.mainWindow, WM_HSCROLL, SB_RIGHT, 0);
  }
  PumpUntil([] { return false; }, 500);
  PrintGeometry(app.mainWindow);
  PumpUntil([&] { return GetFileAttributesW(sentinel.c_str()) != INVALID_FILE_ATTRIBUTES; },
            120000);
  return 0;
}

// A fake ADK with the WinPE add-on and the 32-bit WinPE, made of empty marker files.
std::wstring MakeFakeAdk() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring root = std::wstring(temp) + L"tvde-screenshot-adk";
  for (const wchar_t* folder :
       {L"", L"\\Deployment Tools", L"\\Windows Preinstallation Environment",
        L"\\Windows Preinstallation Environment\\x86",
        L"\\Windows Preinstallation Environment\\x86\\en-us"}) {
    CreateDirectoryW((root + folder).c_str(), nullptr);
  }
  for (const wchar_t* file : {L"\\Deployment Tools\\DandISetEnv.bat",
                              L"\\Windows Preinstallation Environment\\copype.cmd",
                              L"\\Windows Preinstallation Environment\\x86\\en-us\\winpe.wim"}) {
    CloseHandle(CreateFileW((root + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  return root;
}

// The main window with sample disks, a fake ADK and one removable drive, USB output chosen;
// prints the rectangle and stays until FILE exists.
int WinPESection(const std::wstring& sentinel) {
  AppServices services = DefaultAppServices();
  services.enumerateDisks = [](int32_t, int32_t) { return SampleDisks(); };
  services.listRemovableDrives = [] {
    return std::vector<std::wstring>{RemovableDriveEntry(L"E:\\", L"", 61530439680)};
  };
  services.winpeHost.adkRootCandidates = {MakeFakeAdk()};
  App app(services);
  if (!app.Create(GetModuleHandleW(nullptr), SW_SHOWNORMAL)) return 1;
  SendMessageW(app.controls.winpeOutput, CB_SETCURSEL, 0, 0);
  PumpUntil([] { return false; }, 500);
  PrintGeometry(app.mainWindow);
  PumpUntil([&] { return GetFileAttributesW(sentinel.c_str()) != INVALID_FILE_ATTRIBUTES; },
            120000);
  return 0;
}

}  // namespace
}  // namespace tvde

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"locate" && argc > 2) return tvde::Locate(_wtoi(argv[2]));
  if (command == L"close") {
    const HWND window = tvde::FindShownWindow(tvde::kMainWindowClass);
    return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
  }
  if (command == L"showcase" && argc > 2) return tvde::Showcase(argv[2], nullptr);
  if (command == L"report" && argc > 2) return tvde::Showcase(argv[2], tvde::kReportDialogClass);
  if (command == L"picker" && argc > 2) return tvde::Showcase(argv[2], tvde::kFolderPickerClass);
  if (command == L"scrolled" && argc > 2) return tvde::Showcase(argv[2], nullptr, true);
  if (command == L"winpe" && argc > 2) return tvde::WinPESection(argv[2]);
  std::fprintf(
      stderr,
      "usage: gui_shot locate SECONDS | close | (showcase|scrolled|report|picker|winpe) SENTINEL\n");
  return 2;
}
