// The disk list of the main window: enumeration under the chosen environment rules, the
// environment and privilege labels, and the selection label.
#include <windows.h>

#include <commctrl.h>

#include "app/app.h"
#include "app/win_controls.h"
#include "erase/erase_standard.h"
#include "firmware/firmware_capabilities.h"

namespace tvde {
namespace {

constexpr const wchar_t* kWinPEModeLabel =
    L"稼働環境: [WinPE スタンドアロンモード] 内蔵SSD/HDDの完全消去が可能";
constexpr const wchar_t* kWindowsModeLabel =
    L"稼働環境: [通常 Windows OS モード] 外部USB/リムーバブル消去 ＆ WinPE作成";
constexpr const wchar_t* kAdminLabel = L"権限状態: [管理者権限 (Administrator)]";
constexpr const wchar_t* kStandardUserLabel = L"権限状態: [標準ユーザー (実機消去は要昇格)]";
constexpr const wchar_t* kWinPESimulationReason =
    L"[WinPEシミュレーション] 実WinPE起動時は消去可能 (現在はWindows稼働中のためSimulationのみ許可)";
constexpr const wchar_t* kNoSelectionLabel = L"ディスクが選択されていません。";

void SetCell(HWND list, int row, int column, const std::wstring& text) {
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
}

void AddDiskRow(HWND list, int row, const DiskInfo& disk) {
  const std::wstring name = L"Disk " + std::to_wstring(disk.diskNumber);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = row;
  item.pszText = const_cast<wchar_t*>(name.c_str());
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  SetCell(list, row, 1, disk.model);
  SetCell(list, row, 2, disk.serialNumber);
  SetCell(list, row, 3, MediaTypeLabel(disk.mediaType));
  SetCell(list, row, 4, BusTypeLabel(disk.busType));
  SetCell(list, row, 5, FormatSize(disk.sizeBytes));
  SetCell(list, row, 6, disk.driveLetters);
  SetCell(list, row, 7, SafetyStatusLabel(disk.safetyStatus));
  const std::wstring hidden = HiddenAreaSummary(disk.firmware);
  SetCell(list, row, 8,
          CapabilitySummary(disk.firmware) + (hidden.empty() ? L"" : L" | 隠し領域: " + hidden));
}

void SelectRow(HWND list, int row) {
  LVITEMW item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

}  // namespace

void App::RefreshDiskList() {
  const bool simulateWinPE = IsChecked(controls.winpeSimulation);
  const int32_t environmentMode = simulateWinPE ? 1 : isWinPE;
  SetText(controls.environmentLabel, environmentMode == 1 ? kWinPEModeLabel : kWindowsModeLabel);
  SetText(controls.privilegeLabel, isAdmin == 1 ? kAdminLabel : kStandardUserLabel);
  Enable(controls.restartAsAdmin, isAdmin != 1);

  // The rows are replaced before the list view is touched, so that its selection
  // notifications always index the new list.
  disks = services.enumerateDisks(environmentMode, IsChecked(controls.unlockInternal) ? 1 : 0);
  if (simulateWinPE) {
    for (DiskInfo& disk : disks)
      if (disk.driveLetters.find(L"C:") != std::wstring::npos)
        disk.safetyReason = kWinPESimulationReason;
  }
  selectedDiskIndex = -1;
  SendMessageW(controls.diskList, LVM_DELETEALLITEMS, 0, 0);
  for (size_t row = 0; row < disks.size(); ++row)
    AddDiskRow(controls.diskList, static_cast<int>(row), disks[row]);
  if (!disks.empty()) {
    SelectRow(controls.diskList, 0);
    selectedDiskIndex = 0;
  }
  OnSelectionChanged();
  FillUsbTargetCombo();
}

void App::OnSelectionChanged() {
  const auto row = static_cast<int32_t>(
      SendMessageW(controls.diskList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
  if (row < 0 || row >= static_cast<int32_t>(disks.size())) {
    selectedDiskIndex = -1;
    SetText(controls.selectionLabel, kNoSelectionLabel);
    return;
  }
  selectedDiskIndex = row;
  const DiskInfo& disk = disks[static_cast<size_t>(row)];
  SetText(controls.selectionLabel, L"選択: Disk " + std::to_wstring(disk.diskNumber) + L" (" +
                                       disk.model + L")" + RecommendationSuffix(disk.mediaType));
}

}  // namespace tvde
