// The folder picker window: the drive list, the path edit, browsing, and accepting a folder
// only once a test file could be written into it.
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/folder_picker.h"
#include "app/gdi_font.h"
#include "app/main_controls.h"
#include "app/modal_window.h"
#include "app/ui_fonts.h"
#include "app/win_controls.h"
#include "base/drive_strings.h"
#include "base/file_system.h"
#include "base/product.h"

namespace tvde {
namespace {

constexpr int32_t kPickerWidth = 695;
constexpr int32_t kPickerHeight = 345;
constexpr size_t kPathMaxChars = 260;

constexpr const wchar_t* kPickerTitle =
    L"証明書・監査ログ 保存先ドライブ＆フォルダ指定 (ISO/CD/DVD・WinPE対応)";
constexpr const wchar_t* kEmptyPathWarning = L"保存先フォルダパスを入力または選択してください。";
constexpr const wchar_t* kWriteErrorTitle = L"書き込み不可エラー";
constexpr const wchar_t* kWriteError =
    L"選択されたフォルダに書き込みができません！\nCD/DVD/ISOドライブや書き込み禁止メディアではなく、USBメモリ等の書き込み可能なドライブを選択してください。";
constexpr const wchar_t* kBrowseTitle = L"保存先フォルダを選択してください";

struct FolderPickerState {
  std::wstring path;
  bool accepted = false;
  GdiFont font;
  HWND driveList = nullptr;
  HWND pathEdit = nullptr;
  std::vector<std::wstring> suggestedPaths;
  std::vector<HWND> controls;  // in the order of kPickerControls
  uint32_t dpi = USER_DEFAULT_SCREEN_DPI;
  const MessageBoxPrompt* messageBox = nullptr;
};

struct PickerControl {
  int32_t id;  // 0: a label
  const wchar_t* className;
  const wchar_t* text;  // nullptr: the initial path
  DWORD style;
  DWORD exStyle;
  int32_t x, y, width, height;  // client pixels at 96 DPI
};

// Creation order is the tab order.
constexpr PickerControl kPickerControls[] = {
    {0, L"STATIC",
     L"1. 接続されているドライブから選択 (ISO/CD/DVD起動時はUSBメモリ等の書き込み可能ドライブを選択してください):",
     0, 0, 16, 14, 650, 20},
    {kIdPickerDriveList, L"LISTBOX", L"", WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | LBS_NOTIFY,
     WS_EX_CLIENTEDGE, 16, 38, 650, 145},
    {0, L"STATIC", L"2. 保存先フォルダパス (存在しないフォルダ名を入力した場合は自動作成されます):",
     0, 0, 16, 192, 650, 20},
    {kIdPickerPath, L"EDIT", nullptr, ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, 16, 216, 485,
     26},
    {kIdPickerBrowse, L"BUTTON", L"フォルダツリー参照...", BS_PUSHBUTTON | WS_TABSTOP, 0, 510, 215,
     156, 28},
    {kIdPickerAccept, L"BUTTON", L"この保存先に決定 (OK)", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 350,
     260, 180, 34},
    {kIdPickerCancel, L"BUTTON", L"キャンセル", BS_PUSHBUTTON | WS_TABSTOP, 0, 540, 260, 126, 34},
};

FolderPickerState* StateOf(HWND window) {
  return reinterpret_cast<FolderPickerState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

GdiFont MakePickerFont(uint32_t dpi) {
  return MakeUiFont(Scale(15, dpi), FW_NORMAL, ChooseUiFontFace());
}

// A list box scrolls sideways only as far as it is told: the widest row in the current font.
void UpdateDriveListExtent(const FolderPickerState& state) {
  if (state.driveList == nullptr) return;
  const HDC dc = GetDC(state.driveList);
  const HGDIOBJ saved = SelectObject(dc, state.font.get());
  LONG widest = 0;
  const LRESULT count = SendMessageW(state.driveList, LB_GETCOUNT, 0, 0);
  for (LRESULT row = 0; row < count; ++row) {
    std::wstring text(static_cast<size_t>(SendMessageW(state.driveList, LB_GETTEXTLEN, row, 0)),
                      L'\0');
    SendMessageW(state.driveList, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    widest = std::max(widest, size.cx);
  }
  SelectObject(dc, saved);
  ReleaseDC(state.driveList, dc);
  SendMessageW(state.driveList, LB_SETHORIZONTALEXTENT, widest + Scale(8, state.dpi), 0);
}

void PlacePickerControls(const FolderPickerState& state) {
  for (size_t i = 0; i < state.controls.size(); ++i) {
    const PickerControl& entry = kPickerControls[i];
    SetWindowPos(state.controls[i], nullptr, Scale(entry.x, state.dpi), Scale(entry.y, state.dpi),
                 Scale(entry.width, state.dpi), Scale(entry.height, state.dpi),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(state.controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(state.font.get()), TRUE);
  }
  UpdateDriveListExtent(state);
}

void FillDriveList(FolderPickerState& state) {
  const auto roots = QueryLogicalDriveRoots();
  if (!roots) return;
  for (const std::wstring& root : *roots) {
    if (root.size() < 2) continue;
    const DriveFacts drive = QueryDriveFacts(root);
    SendMessageW(state.driveList, LB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(DriveRowText(drive).c_str()));
    state.suggestedPaths.push_back(SuggestedLogFolder(root));
  }
}

void OnPickerCreate(HWND window, FolderPickerState& state) {
  state.font = MakePickerFont(state.dpi);
  for (const PickerControl& entry : kPickerControls) {
    const wchar_t* text = entry.text != nullptr ? entry.text : state.path.c_str();
    const HWND control =
        CreateWindowExW(entry.exStyle, entry.className, text, WS_CHILD | WS_VISIBLE | entry.style,
                        0, 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)),
                        GetModuleHandleW(nullptr), nullptr);
    state.controls.push_back(control);
    if (entry.id == kIdPickerDriveList) state.driveList = control;
    if (entry.id == kIdPickerPath) state.pathEdit = control;
  }
  SendMessageW(state.pathEdit, EM_SETLIMITTEXT, kPathMaxChars, 0);
  FillDriveList(state);
  PlacePickerControls(state);  // after the rows: their width sets the sideways extent
}

void OnDriveChosen(FolderPickerState& state) {
  const LRESULT index = SendMessageW(state.driveList, LB_GETCURSEL, 0, 0);
  if (index < 0 || static_cast<size_t>(index) >= state.suggestedPaths.size()) return;
  SetText(state.pathEdit, state.suggestedPaths[static_cast<size_t>(index)]);
}

void OnBrowse(HWND window, FolderPickerState& state) {
  BROWSEINFOW browse{};
  browse.hwndOwner = window;
  browse.lpszTitle = kBrowseTitle;
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
  if (chosen == nullptr) return;
  wchar_t path[MAX_PATH] = {};
  if (SHGetPathFromIDListW(chosen, path)) SetText(state.pathEdit, path);
  CoTaskMemFree(chosen);
}

void OnAccept(HWND window, FolderPickerState& state) {
  const std::wstring folder = TrimBlanks(GetText(state.pathEdit, kPathMaxChars));
  if (folder.empty()) {
    (*state.messageBox)(window, kEmptyPathWarning, kProductName, MB_OK | MB_ICONWARNING);
    return;
  }
  // A folder that cannot be made shows up as a failed write test below.
  CreateFolderTree(folder);
  if (!CanWriteInFolder(folder)) {
    (*state.messageBox)(window, kWriteError, kWriteErrorTitle, MB_OK | MB_ICONERROR);
    return;
  }
  state.path = folder;
  state.accepted = true;
  DestroyWindow(window);
}

void OnPickerDpiChanged(HWND window, FolderPickerState& state, uint32_t dpi, const RECT& place) {
  GdiFont previous = std::move(state.font);  // alive until every control has the new font
  state.dpi = dpi;
  state.font = MakePickerFont(dpi);
  SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  PlacePickerControls(state);
}

bool OnPickerCommand(HWND window, FolderPickerState& state, int32_t id, int32_t notification) {
  switch (id) {
    case kIdPickerDriveList:
      if (notification == LBN_SELCHANGE || notification == LBN_DBLCLK) OnDriveChosen(state);
      return true;
    case kIdPickerBrowse:
      OnBrowse(window, state);
      return true;
    case IDOK:  // Enter
    case kIdPickerAccept:
      OnAccept(window, state);
      return true;
    case IDCANCEL:  // Escape
    case kIdPickerCancel:
      DestroyWindow(window);
      return true;
    default:
      return false;
  }
}

}  // namespace

LRESULT CALLBACK FolderPickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created->lpCreateParams));
  }
  FolderPickerState* state = StateOf(window);
  if (state == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      OnPickerCreate(window, *state);
      return 0;
    case WM_COMMAND:
      if (OnPickerCommand(window, *state, LOWORD(wParam), HIWORD(wParam))) return 0;
      break;
    case WM_DPICHANGED:
      OnPickerDpiChanged(window, *state, HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      state->font.Reset();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::wstring PickOutputFolder(HWND parent, const std::wstring& initialPath,
                              const MessageBoxPrompt& messageBox) {
  RegisterProgramWindowClass(kFolderPickerClass, FolderPickerProc,
                             reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
  FolderPickerState state;
  state.path = initialPath;
  state.messageBox = &messageBox;
  state.dpi = DpiFor(parent);
  const int32_t width = Scale(kPickerWidth, state.dpi);
  const int32_t height = Scale(kPickerHeight, state.dpi);
  const POINT origin = CenteredOn(parent, width, height, 0);
  const HWND window =
      CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kFolderPickerClass, kPickerTitle,
                      WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, origin.x, origin.y, width,
                      height, parent, nullptr, GetModuleHandleW(nullptr), &state);
  if (window == nullptr) return {};
  SetFocus(state.pathEdit);
  RunModalLoop(window, parent,
               [window](MSG& message) { return IsDialogMessageW(window, &message) != FALSE; });
  return state.accepted ? state.path : std::wstring();
}

}  // namespace tvde
