// Fonts and controls of the main window, created and laid out from the control table.
#include "app/main_window_layout.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <utility>

#include "app/erase_launch_texts.h"
#include "app/ui_fonts.h"
#include "app/win_controls.h"
#include "erase/erase_standard.h"

namespace tvde {
namespace {

// Text limits of the edits, in characters (the lengths the window reads back).
constexpr WPARAM kSettingsTextLimit = 259;
constexpr WPARAM kNotesLimit = 511;
constexpr WPARAM kConfirmCodeLimit = 63;

HFONT FontFor(const App& app, FontRole role) {
  switch (role) {
    case FontRole::Bold:
      return app.boldFont.get();
    case FontRole::Title:
      return app.titleFont.get();
    case FontRole::Console:
      return app.consoleFont.get();
    case FontRole::Normal:
      break;
  }
  return app.normalFont.get();
}

// The sections' left margin, kept on the right and at the bottom too.
constexpr int32_t kLayoutMargin = 14;
// A drop-down list's rectangle in the table is that of its open list.
constexpr int32_t kClosedComboHeight = 24;

void PlaceControl(const App& app, HWND control, const ControlEntry& entry) {
  SetWindowPos(control, nullptr, Scale(entry.x, app.dpi) - app.scroll.x,
               Scale(entry.y, app.dpi) - app.scroll.y, Scale(entry.width, app.dpi),
               Scale(entry.height, app.dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(app, entry.font)), TRUE);
}

void SetColumnWidths(const App& app) {
  int column = 0;
  for (const ColumnEntry& entry : DiskListColumns()) {
    SendMessageW(app.controls.diskList, LVM_SETCOLUMNWIDTH, column++, Scale(entry.width, app.dpi));
  }
}

void AddDiskListColumns(const App& app) {
  int column = 0;
  for (const ColumnEntry& entry : DiskListColumns()) {
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    item.pszText = const_cast<wchar_t*>(entry.text);
    item.cx = Scale(entry.width, app.dpi);
    item.iSubItem = column;
    SendMessageW(app.controls.diskList, LVM_INSERTCOLUMNW, column++,
                 reinterpret_cast<LPARAM>(&item));
  }
  const DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER;
  SendMessageW(app.controls.diskList, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
}

void FillWinPEChoices(HWND window) {
  const HWND adk = GetDlgItem(window, kIdAdkChoice);
  SetComboItems(adk, {L"Win10 ADK + PE Add-on (x86 32bit/x64・CSM最適)",
                      L"Win11 ADK + PE Add-on (x64 最新環境向け)",
                      L"Win10/Win11 ADK 公式インストーラーのみDL保存"});
  SetComboSelection(adk, 0);
  const HWND architecture = GetDlgItem(window, kIdWinPEArchitecture);
  SetComboItems(architecture, {L"x64 (64-bit PC用 - 日本語フォント&ロケール組込)",
                               L"x86 (32-bit 旧型PC用 - Win10 PEベース・日本語組込)"});
  SetComboSelection(architecture, 0);
  const HWND output = GetDlgItem(window, kIdWinPEOutput);
  SetComboItems(output,
                {L"起動用 WinPE USBメモリ直接作成 (/UFD)", L"起動用 WinPE ISOイメージ出力 (.iso)",
                 L"WinPE メディアフォルダ出力 (手動コピー用)"});
  SetComboSelection(output, 1);
  const HWND boot = GetDlgItem(window, kIdWinPEBoot);
  SetComboItems(boot,
                {L"UEFI + CSM (Legacy BIOS) ハイブリッド両対応", L"UEFI ネイティブブートのみ"});
  SetComboSelection(boot, 0);
}

}  // namespace

SIZE MainLayoutExtent() {
  SIZE extent{0, 0};
  for (const ControlEntry& entry : MainControlTable()) {
    const bool dropDown = _wcsicmp(entry.className, L"COMBOBOX") == 0;
    extent.cx = std::max<LONG>(extent.cx, entry.x + entry.width);
    extent.cy = std::max<LONG>(extent.cy, entry.y + (dropDown ? kClosedComboHeight : entry.height));
  }
  return {extent.cx + kLayoutMargin, extent.cy + kLayoutMargin};
}

void CreateMainFonts(App& app) {
  const wchar_t* face = ChooseUiFontFace();
  app.normalFont = MakeUiFont(Scale(15, app.dpi), FW_NORMAL, face);
  app.boldFont = MakeUiFont(Scale(15, app.dpi), FW_BOLD, face);
  app.titleFont = MakeUiFont(Scale(20, app.dpi), FW_BOLD, face);
  app.consoleFont =
      MakeUiFont(Scale(14, app.dpi), FW_NORMAL, L"MS Gothic", FIXED_PITCH | FF_MODERN);
}

void CreateMainControls(App& app) {
  app.controls.all.clear();
  for (const ControlEntry& entry : MainControlTable()) {
    const HWND control = CreateWindowExW(
        entry.exStyle, entry.className, entry.text, WS_CHILD | WS_VISIBLE | entry.style, 0, 0, 0, 0,
        app.mainWindow, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), app.instance,
        nullptr);
    PlaceControl(app, control, entry);
    app.controls.all.push_back(control);
    if (entry.slot != nullptr) app.controls.*entry.slot = control;
  }
  AddDiskListColumns(app);
  SendMessageW(app.controls.passBar, PBM_SETRANGE32, 0, 100);
  SendMessageW(app.controls.overallBar, PBM_SETRANGE32, 0, 100);
  // The console keeps every line of a long job (the default limit is about 32,000 characters).
  SendMessageW(app.controls.logConsole, EM_SETLIMITTEXT, 0, 0);
  SendMessageW(app.controls.operatorName, EM_SETLIMITTEXT, kSettingsTextLimit, 0);
  SendMessageW(app.controls.organization, EM_SETLIMITTEXT, kSettingsTextLimit, 0);
  SendMessageW(app.controls.logFolder, EM_SETLIMITTEXT, kSettingsTextLimit, 0);
  SendMessageW(app.controls.notes, EM_SETLIMITTEXT, kNotesLimit, 0);
  SendMessageW(app.controls.confirmCode, EM_SETLIMITTEXT, kConfirmCodeLimit, 0);
}

void FillMainControls(App& app) {
  const AppSettings& settings = app.settings;
  for (int32_t value = 0; value < kStandardCount; ++value)
    AddComboItem(app.controls.standard, StandardLabel(static_cast<EraseStandard>(value)));
  SetComboSelection(app.controls.standard, settings.defaultStandard);
  SetText(app.controls.standardDescription,
          StandardDescription(static_cast<EraseStandard>(settings.defaultStandard)));
  for (const wchar_t* label : kFirmwareModeLabels)
    AddComboItem(app.controls.firmwareMode, label);
  SetComboSelection(app.controls.firmwareMode,
                    settings.defaultStandard == static_cast<int32_t>(EraseStandard::NistPurge)
                        ? static_cast<int32_t>(FirmwareMode::Auto)
                        : static_cast<int32_t>(FirmwareMode::Off));
  for (int32_t value = 0; value < kVerifyModeCount; ++value)
    AddComboItem(app.controls.verify, VerifyModeLabel(static_cast<VerifyMode>(value)));
  SetComboSelection(app.controls.verify, settings.defaultVerify);
  SetComboItems(app.controls.executionMode,
                {L"安全シミュレーション(DryRun)", L"実機物理セクタ完全消去"});
  SetComboSelection(app.controls.executionMode, settings.defaultExecMode == 1 ? 1 : 0);
  SetComboItems(
      app.controls.postEraseState,
      {L"[実機レポート画面を有効] 消去後にブータブルレポート画面を記録 (BIOS/UEFI起動で表示)",
       L"[完全消去状態(スタンプなし)] 通常通りディスクを完全消去した状態にする (スタンプを書き込まない)"});
  SetComboSelection(app.controls.postEraseState, settings.writeDiskStamp == 1 ? 1 : 0);
  SetText(app.controls.operatorName, settings.operatorName);
  SetText(app.controls.organization, settings.organizationName);
  SetText(app.controls.logFolder, settings.certOutputDir);
  SetChecked(app.controls.logOutput, settings.enableLogOutput == 0);
  FillWinPEChoices(app.mainWindow);
}

void ApplyMainLayout(App& app) {
  // The old fonts stay alive until every control has been given its new one.
  GdiFont previous[] = {std::move(app.normalFont), std::move(app.boldFont),
                        std::move(app.titleFont), std::move(app.consoleFont)};
  CreateMainFonts(app);
  const auto table = MainControlTable();
  for (size_t i = 0; i < table.size() && i < app.controls.all.size(); ++i)
    PlaceControl(app, app.controls.all[i], table[i]);
  SetColumnWidths(app);
}

}  // namespace tvde
