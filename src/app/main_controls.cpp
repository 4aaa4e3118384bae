// The main window's control table: four sections below a header line, in reading order.
#include "app/main_controls.h"

#include <commctrl.h>

namespace tvde {
namespace {

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kGroup = BS_GROUPBOX;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kDropList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kSunken = WS_EX_CLIENTEDGE;
constexpr const wchar_t* kProgressClass = PROGRESS_CLASSW;

using C = MainControls;
using F = FontRole;

// Positions follow the design's layout; where a Japanese face drew wider than it allows, a
// neighbour gave way (the verification and execution-mode lists, the media column).
// clang-format off
constexpr ControlEntry kControls[] = {
  // Header.
  {0, L"STATIC", L"Toreval Disk Eraser  |  NIST SP 800-88 Rev.1 / DoD完全消去・証明スタンプ・x86/x64日本語WinPEスイート",
   kLabel, 0, 16, 12, 920, 26, F::Title, nullptr},
  {0, L"STATIC", L"", kLabel, 0, 16, 40, 480, 20, F::Bold, &C::environmentLabel},
  {0, L"STATIC", L"", kLabel, 0, 505, 40, 260, 20, F::Normal, &C::privilegeLabel},
  {kIdRestartAsAdmin, L"BUTTON", L"管理者権限で再起動", kPush, 0, 770, 35, 145, 26, F::Normal,
   &C::restartAsAdmin},
  {kIdWinPESimulation, L"BUTTON", L"WinPE環境認識シミュレーション", kCheck, 0, 925, 37, 195, 22,
   F::Normal, &C::winpeSimulation},

  // Section 1: the disk list.
  {0, L"BUTTON", L"1. 対象物理ディスク選択 (OSシステムドライブ保護ロック ＆ NVMe/SSD自動識別)", kGroup, 0,
   14, 68, 1110, 206, F::Bold, nullptr},
  {kIdDiskList, WC_LISTVIEWW, L"", LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP,
   kSunken, 26, 92, 1086, 134, F::Normal, &C::diskList},
  {kIdRescan, L"BUTTON", L"ディスク一覧を再スキャン", kPush, 0, 26, 234, 175, 30, F::Normal, nullptr},
  {kIdUnlockInternal, L"BUTTON", L"非ブート内蔵セカンダリディスクのロックを解除 (C:ドライブは常時絶対保護)", kCheck, 0,
   212, 238, 455, 24, F::Normal, &C::unlockInternal},
  {0, L"STATIC", L"対象ディスクを選択してください。", kLabel, 0, 675, 239, 435, 22, F::Normal,
   &C::selectionLabel},

  // Section 2: erase settings and the certificate folder.
  {0, L"BUTTON", L"2. 消去規格 (NIST 800-88 / DoD) ＆ 消去後の実機レポート画面切替・ログ保存先設定", kGroup, 0,
   14, 282, 650, 268, F::Bold, nullptr},
  {0, L"STATIC", L"消去方式 (Standard):", kLabel, 0, 28, 306, 135, 20, F::Normal, nullptr},
  {kIdStandard, L"COMBOBOX", L"", kDropList, 0, 168, 302, 480, 260, F::Normal, &C::standard},
  {0, L"STATIC", L"", kLabel, 0, 168, 329, 480, 32, F::Normal, &C::standardDescription},
  {0, L"STATIC", L"ベリファイ検証:", kLabel, 0, 28, 365, 135, 20, F::Normal, nullptr},
  {kIdVerify, L"COMBOBOX", L"", kDropList, 0, 168, 361, 222, 120, F::Normal, &C::verify},
  {0, L"STATIC", L"動作モード:", kLabel, 0, 396, 365, 70, 20, F::Normal, nullptr},
  {kIdExecutionMode, L"COMBOBOX", L"", kDropList, 0, 466, 361, 182, 120, F::Normal,
   &C::executionMode},
  {0, L"STATIC", L"消去後のディスク状態:", kLabel, 0, 28, 394, 138, 20, F::Normal, nullptr},
  {kIdPostEraseState, L"COMBOBOX", L"", kDropList, 0, 168, 390, 480, 120, F::Normal,
   &C::postEraseState},
  {0, L"STATIC", L"作業担当者名:", kLabel, 0, 28, 423, 135, 20, F::Normal, nullptr},
  {kIdOperator, L"EDIT", L"", kEdit, kSunken, 168, 419, 190, 24, F::Normal, &C::operatorName},
  {0, L"STATIC", L"組織・部署名:", kLabel, 0, 370, 423, 90, 20, F::Normal, nullptr},
  {kIdOrganization, L"EDIT", L"", kEdit, kSunken, 462, 419, 186, 24, F::Normal, &C::organization},
  {0, L"STATIC", L"証明書備考 (Notes):", kLabel, 0, 28, 451, 135, 20, F::Normal, nullptr},
  // The notes gave the right of their row to the drive's own erase.
  {kIdNotes, L"EDIT", L"社内PC・ストレージ廃棄/再利用前サニタイズ処理 (NIST SP 800-88 Rev.1)", kEdit, kSunken,
   168, 447, 232, 24, F::Normal, &C::notes},
  {0, L"STATIC", L"ファーム消去:", kLabel, 0, 406, 451, 72, 20, F::Normal, nullptr},
  {kIdFirmwareMode, L"COMBOBOX", L"", kDropList, 0, 478, 447, 170, 160, F::Normal, &C::firmwareMode},
  {kIdLogOutput, L"BUTTON", L"証明書・監査ログファイル作成を有効にする (ISO/CD・DVD起動時はUSBメモリ等の保存先を指定可能)",
   kCheck, 0, 28, 478, 620, 22, F::Normal, &C::logOutput},
  {0, L"STATIC", L"ログ・証明書保存先:", kLabel, 0, 28, 507, 135, 20, F::Normal, nullptr},
  {kIdLogFolder, L"EDIT", L"", kEdit, kSunken, 168, 503, 305, 24, F::Normal, &C::logFolder},
  {kIdChangeLogFolder, L"BUTTON", L"保存先指定...", kPush, 0, 479, 502, 95, 26, F::Normal,
   &C::changeLogFolder},
  {kIdOpenLogFolder, L"BUTTON", L"開く", kPush, 0, 578, 502, 70, 26, F::Normal, &C::openLogFolder},
  {0, L"STATIC", L"※完了時に実機消去＆ハードウェアレポート画面を表示します (画面上から別ドライブへのログ保存・スタンプ切替も可能)。",
   kLabel, 0, 28, 531, 622, 18, F::Normal, nullptr},

  // Section 3: WinPE boot media.
  {0, L"BUTTON", L"3. 日本語WinPE起動メディア作成 (x86 32bit / x64 64bit・CSM/UEFI両対応)", kGroup, 0,
   674, 282, 450, 268, F::Bold, nullptr},
  {0, L"STATIC", L"Windows ADK 状態: 確認中...", kLabel, 0, 688, 304, 424, 20, F::Normal,
   &C::adkStatusLabel},
  {0, L"STATIC", L"ADK 任意取得:", kLabel, 0, 688, 328, 95, 20, F::Normal, nullptr},
  {kIdAdkChoice, L"COMBOBOX", L"", kDropList, 0, 786, 324, 324, 120, F::Normal, &C::adkChoice},
  {kIdAdkButton, L"BUTTON", L"選択した ADK + WinPE Add-on を任意ダウンロード / 導入", kPush, 0, 688, 352, 422,
   26, F::Normal, &C::adkButton},
  {0, L"STATIC", L"対象アーキテクチャ:", kLabel, 0, 688, 386, 110, 20, F::Normal, nullptr},
  {kIdWinPEArchitecture, L"COMBOBOX", L"", kDropList, 0, 800, 382, 310, 120, F::Normal, &C::winpeArchitecture},
  {0, L"STATIC", L"出力メディア:", kLabel, 0, 688, 414, 95, 20, F::Normal, nullptr},
  {kIdWinPEOutput, L"COMBOBOX", L"", kDropList, 0, 800, 410, 310, 120, F::Normal, &C::winpeOutput},
  {0, L"STATIC", L"ブート方式:", kLabel, 0, 688, 442, 95, 20, F::Normal, nullptr},
  {kIdWinPEBoot, L"COMBOBOX", L"", kDropList, 0, 800, 438, 310, 120, F::Normal, &C::winpeBoot},
  {0, L"STATIC", L"対象USBドライブ:", kLabel, 0, 688, 470, 110, 20, F::Normal, nullptr},
  {kIdUsbTarget, L"COMBOBOX", L"", kDropList, 0, 800, 466, 310, 120, F::Normal, &C::usbTarget},
  {kIdCreateMedia, L"BUTTON", L"日本語対応・即時起動 WinPE メディア (x86 / x64) を作成", kPush, 0, 688, 502,
   422, 36, F::Bold, &C::createMedia},

  // Section 4: the launch interlock, progress and the log console.
  {0, L"BUTTON", L"4. 消去実行インターロック ＆ 消去証明スタンプ表示・リアルタイム進捗コンソール", kGroup, 0, 14,
   558, 1110, 250, F::Bold, nullptr},
  {0, L"STATIC", L"確認コード(「ERASE」):", kLabel, 0, 26, 586, 150, 20, F::Normal, nullptr},
  {kIdConfirmCode, L"EDIT", L"ERASE", ES_UPPERCASE | kEdit, kSunken, 178, 582, 78, 26, F::Normal,
   &C::confirmCode},
  {kIdStartErase, L"BUTTON", L"選択ディスクの完全消去を開始", kPush, 0, 266, 579, 240, 32, F::Bold,
   &C::startErase},
  {kIdAbort, L"BUTTON", L"緊急停止 (Abort)", kPush | WS_DISABLED, 0, 514, 579, 130, 32, F::Normal,
   &C::abort},
  {kIdReportDialog, L"BUTTON", L"★ 実機消去＆HWレポート画面 (スタンプ切替)", kPush, 0, 652, 579, 265, 32,
   F::Bold, nullptr},
  {kIdOpenCertificate, L"BUTTON", L"HTML消去証明書を開く", kPush, 0, 925, 579, 182, 32, F::Normal,
   nullptr},
  {0, L"STATIC", L"現在パス進捗:", kLabel, 0, 28, 620, 95, 20, F::Normal, nullptr},
  {0, kProgressClass, L"", PBS_SMOOTH, 0, 125, 618, 410, 20, F::Normal, &C::passBar},
  {0, L"STATIC", L"全体進捗:", kLabel, 0, 550, 620, 70, 20, F::Normal, nullptr},
  {0, kProgressClass, L"", PBS_SMOOTH, 0, 622, 618, 486, 20, F::Normal, &C::overallBar},
  {0, L"STATIC", L"待機中 (Ready) - 消去対象ディスクとアルゴリズムを選択してください。", kLabel, 0, 28, 644,
   1080, 20, F::Normal, &C::statusLabel},
  {0, L"EDIT", L"", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP, kSunken,
   28, 668, 1080, 128, F::Console, &C::logConsole},
};

constexpr ColumnEntry kColumns[] = {
  {L"Disk #", 68}, {L"モデル名 (Model)", 185}, {L"シリアル番号 (S/N)", 140}, {L"種別 (Media)", 170},
  {L"バス", 65}, {L"容量", 90}, {L"ドライブ", 95}, {L"安全保護ステータス (Safety Lock)", 255},
  {L"ファームウェア消去 / 隠し領域 (HPA/DCO)", 420},
};
// clang-format on

}  // namespace

std::span<const ControlEntry> MainControlTable() {
  return kControls;
}

std::span<const ColumnEntry> DiskListColumns() {
  return kColumns;
}

}  // namespace tvde
