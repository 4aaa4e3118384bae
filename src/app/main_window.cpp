// The main window: creation, the window procedure's dispatch, closing, DPI changes and the
// message loop.
#include <windows.h>

#include <commctrl.h>

#include "app/app.h"
#include "app/main_window_layout.h"
#include "app/ui_fonts.h"
#include "app/win_controls.h"
#include "app/window_fit.h"
#include "base/host_environment.h"
#include "base/product.h"
#include "erase/erase_standard.h"

namespace tvde {
namespace {

constexpr const wchar_t* kBusyCloseQuestion =
    L"現在処理が実行中です。強制終了してもよろしいですか？";

constexpr const wchar_t* kWinPEBusyClose =
    L"WinPE メディア作成 / ADK 導入の処理中は終了できません。完了までお待ちください。";

std::wstring WindowTitle() {
  return std::wstring(kProductName) + L" v" + kProductVersion +
         L" - Enterprise HDD/SSD Sanitization, Erasure Stamp & x86/x64 Hybrid WinPE Suite";
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  HICON icon = LoadIconW(nullptr, IDI_SHIELD);
  if (icon == nullptr) icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  return RegisterProgramWindowClass(kMainWindowClass, App::StaticWndProc,
                                    reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), icon);
}

}  // namespace

App::App(AppServices appServices) : services(std::move(appServices)) {}

App::~App() {
  cancelRequested.exchange(1);
  if (eraseWorker.joinable()) eraseWorker.join();
  // A media build cannot be stopped half-way (DISM holds the image mounted): it is waited for.
  if (winpeWorker.joinable()) winpeWorker.join();
  if (windowAlive) DestroyWindow(mainWindow);
}

bool App::Create(HINSTANCE instanceHandle, int showCommand) {
  instance = instanceHandle;
  isWinPE = services.isWinPEEnvironment() ? 1 : 0;
  isAdmin = services.isRunningAsAdmin() ? 1 : 0;
  // Once for the process: the windows' fonts are chosen from what is loaded here.
  LoadLocalFonts(ProgramDirectory(), isWinPE == 1, services.addFontFile);
  settings = LoadSettingsFrom(services.settingsStore);
  INITCOMMONCONTROLSEX commonControls{
      sizeof commonControls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&commonControls);
  if (!RegisterMainWindowClass(instance)) return false;

  // Created at the layout's full size; WM_CREATE fits it to the monitor it lands on.
  const uint32_t systemDpi = GetDpiForSystem();
  const SIZE extent = MainLayoutExtent();
  const SIZE frame = FrameSize(kMainWindowStyle, 0, systemDpi);
  const HWND window =
      CreateWindowExW(0, kMainWindowClass, WindowTitle().c_str(), kMainWindowStyle, CW_USEDEFAULT,
                      CW_USEDEFAULT, frame.cx + Scale(extent.cx, systemDpi),
                      frame.cy + Scale(extent.cy, systemDpi), nullptr, nullptr, instance, this);
  if (window == nullptr) return false;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return true;
}

int App::RunMessageLoop() {
  MSG message{};
  BOOL got = 0;
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    // Tab, arrow keys and mnemonics move between the controls as in a dialog.
    if (windowAlive && IsDialogMessageW(mainWindow, &message)) {
      if (message.message == WM_KEYDOWN) ScrollIntoView(*this, GetFocus());
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return got < 0 ? -1 : static_cast<int>(message.wParam);
}

LRESULT CALLBACK App::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* app = static_cast<App*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
    app->mainWindow = window;
    app->windowAlive = true;
  }
  auto* app = reinterpret_cast<App*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (app == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    app->windowAlive = false;
  }
  return app->WndProc(message, wParam, lParam);
}

LRESULT App::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(mainWindow);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_QUERYENDSESSION:
      return OnQueryEndSession() ? TRUE : FALSE;
    case WM_ENDSESSION:
      OnEndSession(wParam != FALSE);
      return 0;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == kIdDiskList && header->code == LVN_ITEMCHANGED) OnSelectionChanged();
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      // The read-only console keeps the white of an edit field.
      if (reinterpret_cast<HWND>(lParam) == controls.logConsole) {
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DISPLAYCHANGE: {
      // A new resolution or a projector: the window is fitted to the work area again.
      RECT placed{};
      GetWindowRect(mainWindow, &placed);
      OnDpiChanged(monitorDpi, placed);
      return 0;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (lParam != 0) break;  // from a scroll bar control, not the window's own
      OnMainScroll(*this, message == WM_VSCROLL ? SB_VERT : SB_HORZ, LOWORD(wParam));
      return 0;
    case WM_MOUSEWHEEL:
      OnMainWheel(*this, GET_WHEEL_DELTA_WPARAM(wParam));
      return 0;
    case WM_APP_PROGRESS:
      OnProgressMessage();
      return 0;
    case WM_APP_LOG:
      OnLogMessage();
      return 0;
    case WM_APP_ERASE_DONE:
      OnEraseDone();
      return 0;
    case WM_APP_WINPE_DONE:
      OnWinPEDone(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
      return 0;
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam), HIWORD(wParam))) return 0;
      break;
    default:
      break;
  }
  return DefWindowProcW(mainWindow, message, wParam, lParam);
}

void App::OnCreate(HWND window) {
  mainWindow = window;
  const uint32_t windowDpi = GetDpiForWindow(window);
  monitorDpi = windowDpi != 0 ? windowDpi : GetDpiForSystem();
  RECT placed{};
  GetWindowRect(window, &placed);
  FitMainWindow(*this, placed);
  CreateMainFonts(*this);
  CreateMainControls(*this);
  FillMainControls(*this);
  OnLogOutputToggled();
  UpdateAdkStatusLabel();
  RefreshDiskList();  // fills the USB list too
  UpdateMainScrollBars(*this);
  AppendLog(std::wstring(kProductName) + L" v" + kProductVersion + L" が起動しました。");
  AppendLog(
      L"対応機能: 実機ブータブルレポートスタンプ(BIOS/UEFI両対応)＆完全消去(0x00)切替、ISO/CD起動向けログ保存先指定、x86/x64日本語WinPE。");
}

void App::OnClose() {
  // A media build cannot be stopped (DISM holds the image mounted): closing would only hide
  // the window while the program waits for the build.
  if (winpeJobRunning) return ShowBox(kWinPEBusyClose, kProductName, MB_OK | MB_ICONWARNING);
  if (busy.load() != 0) {
    if (AskBox(kBusyCloseQuestion, kProductName, MB_YESNO | MB_ICONWARNING) != IDYES) return;
    cancelRequested.exchange(1);
  }
  SaveSettingsFromControls();
  DestroyWindow(mainWindow);
}

bool App::OnCommand(int32_t id, int32_t notification) {
  if (id == kIdStandard) {
    if (notification != CBN_SELCHANGE) return false;
    const int32_t selection = ComboSelection(controls.standard);
    SetText(controls.standardDescription,
            StandardDescription(static_cast<EraseStandard>(selection)));
    // The drive's own erase is part of a purge; the other standards leave it to the operator.
    SetComboSelection(
        controls.firmwareMode,
        static_cast<int32_t>(selection == static_cast<int32_t>(EraseStandard::NistPurge)
                                 ? FirmwareMode::Auto
                                 : FirmwareMode::Off));
    return true;
  }
  if (notification != BN_CLICKED) return false;
  switch (id) {
    case kIdRescan:
    case kIdUnlockInternal:
    case kIdWinPESimulation:
      RefreshDiskList();
      return true;
    case kIdRestartAsAdmin:
      OnRestartAsAdmin();
      return true;
    case kIdChangeLogFolder:
      OnChangeLogFolder();
      return true;
    case kIdOpenLogFolder:
      OnOpenLogFolder();
      return true;
    case kIdStartErase:
      OnStartErase();
      return true;
    case kIdAbort:
      OnAbort();
      return true;
    case kIdOpenCertificate:
      OnOpenCertificate();
      return true;
    case kIdReportDialog:
      OnOpenReportDialog();
      return true;
    case kIdLogOutput:
      OnLogOutputToggled();
      SaveSettingsFromControls();
      return true;
    case kIdAdkButton:
      OnAdkButton();
      return true;
    case kIdCreateMedia:
      OnCreateMediaButton();
      return true;
    default:
      return false;
  }
}

void App::OnDpiChanged(uint32_t newDpi, const RECT& suggested) {
  monitorDpi = newDpi;
  FitMainWindow(*this, suggested);
  ApplyMainLayout(*this);
  UpdateMainScrollBars(*this);
  InvalidateRect(mainWindow, nullptr, TRUE);
}

void App::ShowBox(const std::wstring& text, const std::wstring& title, UINT flags) {
  services.messageBox(mainWindow, text, title, flags);
}

int App::AskBox(const std::wstring& text, const std::wstring& title, UINT flags) {
  return services.messageBox(mainWindow, text, title, flags);
}

}  // namespace tvde
