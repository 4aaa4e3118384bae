// The report and stamp dialog window: creation, its own modal loop, the buttons and their
// layout, full-screen display and the dispatch of the commands.
#include "app/report_dialog.h"

#include <algorithm>

#include "app/main_controls.h"
#include "app/modal_window.h"
#include "app/ui_fonts.h"
#include "app/win_controls.h"
#include "app/window_fit.h"
#include "hardware/hardware_profile.h"

namespace tvde {
namespace {

constexpr int32_t kDialogWidth = 1055;  // the window at 96 DPI
constexpr int32_t kDialogHeight = 695;
constexpr DWORD kDialogStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int32_t kButtonHeight = 34;
constexpr int32_t kCloseButtonWidth = 100;
constexpr int32_t kCloseButtonRightGap = 122;
constexpr int32_t kButtonSpacing = 6;  // between two buttons of the row
constexpr const wchar_t* kDialogTitle =
    L"Toreval Disk Eraser - 実機消去証明＆ハードウェアレポート画面 (Machine Sanitization & Hardware Report)";
constexpr const wchar_t* kFullScreenText = L"全画面レポート表示 (ESC)";
constexpr const wchar_t* kLeaveFullScreenText = L"通常ウィンドウに戻す";

struct ButtonEntry {
  int32_t id;
  const wchar_t* text;
  int32_t x, width;  // at 96 DPI; the close button's x follows the right edge
};

constexpr ButtonEntry kButtons[kReportButtonCount] = {
    {kIdReportFullScreen, kFullScreenText, 22, 175},
    {kIdReportSaveElsewhere, L"別ドライブへログ・証明書保存...", 203, 215},
    {kIdReportStampSwitch, L"スタンプ消去(完全0x00化) / 再刻印", 424, 225},
    {kIdReportOpenHtml, L"HTML証明書を開く", 655, 130},
    {kIdReportCopy, L"レポートコピー", 791, 125},
    {kIdReportClose, L"閉じる", 0, kCloseButtonWidth},
};

ReportDialogState* StateOf(HWND window) {
  return reinterpret_cast<ReportDialogState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

GdiFont MakeButtonFont(uint32_t dpi) {
  return MakeUiFont(Scale(14, dpi), FW_BOLD, ChooseUiFontFace());
}

void SetButtonFonts(const ReportDialogState& state) {
  for (HWND button : state.buttons)
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(state.buttonFont.get()), TRUE);
}

void OnDialogCreate(HWND window, ReportDialogState& state) {
  state.buttonFont = MakeButtonFont(state.dpi);
  for (int32_t i = 0; i < kReportButtonCount; ++i) {
    const ButtonEntry& entry = kButtons[i];
    state.buttons[i] = CreateWindowExW(
        0, L"BUTTON", entry.text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0,
        window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), GetModuleHandleW(nullptr),
        nullptr);
  }
  SetButtonFonts(state);
  LayoutReportButtons(window, state);
}

void ToggleFullScreen(HWND window, ReportDialogState& state) {
  const HWND toggle = state.buttons[0];
  if (!state.fullScreen) {
    GetWindowRect(window, &state.savedRect);
    state.savedStyle = GetWindowLongPtrW(window, GWL_STYLE);
    state.savedExStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE, WS_EX_TOPMOST);
    state.fullScreen = true;
    // The whole monitor the dialog is on, which need not be the primary one.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& area = monitor.rcMonitor;
    SetWindowPos(window, HWND_TOPMOST, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    SetText(toggle, kLeaveFullScreenText);
    return;
  }
  SetWindowLongPtrW(window, GWL_STYLE, state.savedStyle);
  SetWindowLongPtrW(window, GWL_EXSTYLE, state.savedExStyle);
  state.fullScreen = false;
  const RECT& saved = state.savedRect;
  SetWindowPos(window, HWND_NOTOPMOST, saved.left, saved.top, saved.right - saved.left,
               saved.bottom - saved.top, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  SetText(toggle, kFullScreenText);
}

void OnDialogDpiChanged(HWND window, ReportDialogState& state, uint32_t dpi, const RECT& place) {
  GdiFont previous = std::move(state.buttonFont);  // alive until the buttons have the new one
  state.dpi = dpi;
  state.buttonFont = MakeButtonFont(dpi);
  SetButtonFonts(state);
  SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayoutReportButtons(window, state);
}

bool OnDialogCommand(HWND window, ReportDialogState& state, int32_t id) {
  switch (id) {
    case kIdReportFullScreen:
      ToggleFullScreen(window, state);
      return true;
    case kIdReportSaveElsewhere:
      SaveReportsElsewhere(window, state);
      return true;
    case kIdReportStampSwitch:
      SwitchDiskStamp(window, state);
      return true;
    case kIdReportOpenHtml:
      OpenHtmlCertificate(window, state);
      return true;
    case kIdReportCopy:
      CopyReportToClipboard(window, state);
      return true;
    case kIdReportClose:
    case IDCANCEL:
      DestroyWindow(window);
      return true;
    default:
      return false;
  }
}

}  // namespace

int32_t ReportButtonTop(int32_t clientHeight) {
  return std::max(clientHeight - 44, 605);
}

void LayoutReportButtons(HWND window, const ReportDialogState& state) {
  RECT client{};
  GetClientRect(window, &client);
  const int32_t width = MulDiv(client.right, USER_DEFAULT_SCREEN_DPI, static_cast<int>(state.dpi));
  const int32_t height =
      MulDiv(client.bottom, USER_DEFAULT_SCREEN_DPI, static_cast<int>(state.dpi));
  const int32_t top = ReportButtonTop(height);
  // The close button keeps its gap to the right edge. Where the row would run into it (a narrow
  // screen), the whole row is squeezed to the room there is.
  const ButtonEntry& first = kButtons[0];
  const ButtonEntry& last = kButtons[kReportButtonCount - 2];
  const int32_t rowRight = width - kCloseButtonRightGap + kCloseButtonWidth;
  const int32_t designRight = last.x + last.width + kButtonSpacing + kCloseButtonWidth;
  const int32_t room = std::min(rowRight, designRight) - first.x;
  const auto squeeze = [&](int32_t length) { return MulDiv(length, room, designRight - first.x); };
  for (int32_t i = 0; i < kReportButtonCount; ++i) {
    const ButtonEntry& entry = kButtons[i];
    const int32_t buttonWidth = squeeze(entry.width);
    const int32_t x =
        entry.id == kIdReportClose ? rowRight - buttonWidth : first.x + squeeze(entry.x - first.x);
    SetWindowPos(state.buttons[i], nullptr, Scale(x, state.dpi), Scale(top, state.dpi),
                 Scale(buttonWidth, state.dpi), Scale(kButtonHeight, state.dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

LRESULT CALLBACK ReportDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created->lpCreateParams));
  }
  ReportDialogState* state = StateOf(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      OnDialogCreate(window, *state);
      return 0;
    case WM_SIZE:
      LayoutReportButtons(window, *state);
      InvalidateRect(window, nullptr, TRUE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      const HDC dc = BeginPaint(window, &paint);
      RECT client{};
      GetClientRect(window, &client);
      PaintReportView(dc, client, *state);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DPICHANGED:
      OnDialogDpiChanged(window, *state, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE && state->fullScreen) ToggleFullScreen(window, *state);
      return 0;
    case WM_COMMAND:
      if (OnDialogCommand(window, *state, LOWORD(wParam))) return 0;
      break;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      state->buttonFont.Reset();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void ShowReportDialog(HWND parent, const ReportDialogRequest& request,
                      const AppServices& services) {
  RegisterProgramWindowClass(kReportDialogClass, ReportDialogProc,
                             static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReportDialogState state;
  state.payload = request.payload;
  state.htmlPath = request.htmlPath;
  state.hasReport = request.result.has_value();
  if (state.hasReport) state.report = *request.result;
  state.hasDisk = request.disk.has_value();
  if (state.hasDisk) state.disk = *request.disk;
  state.services = &services;
  state.log = request.log;
  state.jobRunning = request.jobRunning;
  state.dpi = DpiFor(parent);
  if (state.payload.hardware.manufacturer.empty())
    state.payload.hardware = CollectHardwareProfile(state.hasDisk ? state.disk : DiskInfo{});

  // The design's size at the parent's DPI, scaled down where the monitor's work area is smaller,
  // centred on the parent as far as the work area allows.
  const SIZE frame96 = FrameSize(kDialogStyle, kDialogExStyle, USER_DEFAULT_SCREEN_DPI);
  const SIZE content{kDialogWidth - frame96.cx, kDialogHeight - frame96.cy};
  const SIZE frame = FrameSize(kDialogStyle, kDialogExStyle, state.dpi);
  RECT parentRect{0, 0, 1, 1};
  if (parent != nullptr) GetWindowRect(parent, &parentRect);
  const RECT workArea = services.workAreaAt(parentRect);
  const RECT sized =
      FitToWorkArea(content, frame, state.dpi, workArea, {workArea.left, workArea.top}).window;
  const POINT origin = CenteredOn(parent, sized.right - sized.left, sized.bottom - sized.top, 10);
  const WindowFit fit = FitToWorkArea(content, frame, state.dpi, workArea, origin);
  state.dpi = fit.layoutDpi;
  const HWND window = CreateWindowExW(
      kDialogExStyle, kReportDialogClass, kDialogTitle, kDialogStyle, fit.window.left,
      fit.window.top, fit.window.right - fit.window.left, fit.window.bottom - fit.window.top,
      parent, nullptr, GetModuleHandleW(nullptr), &state);
  if (window == nullptr) return;
  SetFocus(state.buttons[kReportButtonCount - 1]);  // Enter closes, Tab walks the buttons
  RunModalLoop(window, parent, [window, &state](MSG& message) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE) {
      // In full screen Escape returns to the window; otherwise it does nothing.
      if (state.fullScreen) SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, message.lParam);
      return true;
    }
    return IsDialogMessageW(window, &message) != FALSE;
  });
}

}  // namespace tvde
