// The actions of the report and stamp dialog: saving the reports to another folder, switching
// the disk between the report stamp and zeroes, opening the HTML certificate and the clipboard
// copy. Each runs on the GUI thread and ends in a message box.
#include <algorithm>

#include "app/report_dialog.h"
#include "app/shell_open.h"
#include "base/file_system.h"
#include "base/product.h"
#include "job/report_output.h"
#include "report/report_identity.h"
#include "stamp/stamp_texts.h"
#include "stamp/stamp_writer.h"

namespace tvde {
namespace {

constexpr const wchar_t* kSavedTitle = L"ログ・証明書保存完了";
constexpr const wchar_t* kSaveFailed =
    L"指定されたフォルダへの書き込みに失敗しました。USBメモリ等の書き込み可能なドライブを選択してください。";
constexpr const wchar_t* kNoDisk = L"メイン画面で対象ディスクを選択してください。";
constexpr const wchar_t* kSafetyGuardTitle = L"Toreval Safety Guard";
constexpr const wchar_t* kProtectedDisk =
    L"選択されているディスクは安全保護ロック中（OS起動ディスク等）のため、物理セクタのスタンプ切り替えはできません。\n（WinPE起動時または外部ディスク・ロック解除済セカンダリディスクで実行できます）";
constexpr const wchar_t* kSwitchTitle =
    L"ディスク状態の切り替え (レポートスタンプ ⇔ 完全消去0x00状態)";
constexpr const wchar_t* kJobRunning =
    L"消去処理または WinPE メディア作成の実行中は、ディスクのスタンプを切り替えできません。\n処理の完了後に実行してください。";
constexpr const wchar_t* kSimulationNotStamped =
    L"このレポートは安全シミュレーション (DryRun) の結果です。実データは消去されていないため、実機ディスクへスタンプとして刻印することはできません。";
constexpr const wchar_t* kNoErasureToCertify =
    L"このレポートは実際の消去処理の記録ではありません (ハードウェアプレビュー、またはオペレーターが手動で記録したスタンプ)。\n消去証明書は消去処理を完了したレポートについてのみ保存できます。";
constexpr const wchar_t* kSwitchQuestionHead = L" の物理状態を切り替えます。\n\n";
constexpr const wchar_t* kYesAllZero =
    L"・[はい (Yes)]  : 通常通りディスクを完全消去した状態 (全セクタ0x00・未初期化・スタンプなし) に切り替える\n";
constexpr const wchar_t* kYesStampAreaOnly =
    L"・[はい (Yes)]  : ディスク先頭のレポートスタンプ (LBA 0..255) を0x00で消去し、スタンプなしの状態に切り替える\n";
constexpr const wchar_t* kSwitchQuestionTail =
    L"・[いいえ (No)] : 実機ブート時にこのレポート画面を表示するブータブルスタンプ (BIOS/UEFI両対応) をディスクに書き込む\n・[キャンセル]  : 何もしない";
constexpr const wchar_t* kStateAllZero =
    L"Pure Zero Wiped (スタンプ消去済・全セクタ完全未初期化 0x00)";
constexpr const wchar_t* kStateStampAreaZero = L"Stamp Erased (スタンプ消去済・先頭256セクタ 0x00)";
constexpr const wchar_t* kErasedAllZero =
    L"ディスク先頭のレポートスタンプを消去し、通常通りの完全消去・未初期化状態 (全0x00) に戻しました！";
constexpr const wchar_t* kErasedStampArea =
    L"ディスク先頭のレポートスタンプを消去しました (先頭256セクタを0x00化)。";
constexpr const wchar_t* kNoStampToErase =
    L"対象ディスクの先頭にレポートスタンプが見つかりません。\nスタンプ消去はディスク先頭 (LBA 0..255) を0x00で上書きするため、スタンプのないディスクではパーティションテーブルやデータを破壊します。スタンプ消去は中止しました。\n（ディスク全体を消去するには、メイン画面から消去処理を実行してください）";
constexpr const wchar_t* kEraseFailed =
    L"スタンプ消去に失敗しました。管理者権限を確認してください。";
constexpr const wchar_t* kStamped =
    L"実機起動レポート画面 (BIOS/CSM ＆ UEFI GOP 両対応ブータブルスタンプ) をディスクに記録しました！\nこのディスクから実機を起動するとレポート画面が表示されます。";
constexpr const wchar_t* kStampFailed =
    L"スタンプの書き込みに失敗しました。管理者権限を確認してください。";
constexpr const wchar_t* kNoHtml =
    L"HTML証明書ファイルがまだ保存されていないか、ログ出力がオフになっています。\n左の「別ドライブへログ・証明書保存...」ボタンから任意の場所へ保存できます！";
constexpr const wchar_t* kCopied =
    L"消去証明＆ハードウェアレポート情報をクリップボードにコピーしました！";
constexpr const wchar_t* kCopyFailed =
    L"クリップボードを開けなかったため、レポートをコピーできませんでした。";
// A record saved from a payload that carries no verification: nothing says it was verified.
constexpr const wchar_t* kVerdictNotRecorded = L"SKIPPED (検証記録なし)";

int Box(HWND window, const ReportDialogState& state, const std::wstring& text, const wchar_t* title,
        UINT flags) {
  return state.services->messageBox(window, text, title, flags);
}

// Whether there is an erasure to certify: a job's report, or a complete stamp a job wrote.
bool CertifiesAnErasure(const ReportDialogState& state) {
  if (state.hasReport) return true;
  return state.payload.incomplete == 0 && state.payload.verification != kOperatorStampVerdict;
}

// The disk a stamp operation acts on: its number, model and serial number.
std::wstring DiskNamed(const DiskInfo& disk) {
  return L"Disk " + std::to_wstring(disk.diskNumber) + L" (" + disk.model + L", S/N: " +
         disk.serialNumber + L")";
}

// The record to save: the job's own (with output switched on), or one made from the payload.
ReportData RecordForSaving(const ReportDialogState& state) {
  if (state.hasReport) {
    ReportData record = state.report;
    record.config.logOutputDisabled = 0;
    return record;
  }
  const StampPayload& payload = state.payload;
  ReportData record;
  record.certificateId =
      payload.certificateId.empty() ? MakeCertificateId() : payload.certificateId;
  record.startTime =
      payload.sanitizationDate.empty() ? FormatLocalTimestamp() : payload.sanitizationDate;
  record.endTime = record.startTime;
  record.statusCode = kStatusCompleted;
  record.passesCompleted = std::max(payload.passesCompleted, 1);
  record.passesPlanned = record.passesCompleted;
  record.verificationResult =
      payload.verification.empty() ? kVerdictNotRecorded : payload.verification;
  record.diskStampStatus = payload.stampState;
  // What the payload says of the job; a standard it does not name keeps the default.
  if (const auto standard = StandardNamed(payload.standardName)) record.config.standard = *standard;
  if (payload.incomplete == 0 && !IsSimulation(state))
    record.config.executionMode = ExecutionMode::RealWrite;
  record.config.operatorName = payload.operatorName;
  record.config.organizationName = payload.organizationName;
  if (state.hasDisk) {
    record.config.disk = state.disk;
  } else {
    record.config.disk.model = payload.diskModel;
    record.config.disk.serialNumber = payload.diskSerial;
  }
  record.config.logOutputDisabled = 0;
  return record;
}

bool EraseDiskStampHeld(HWND window, const ReportDialogState& state) {
  const SessionHold hold(state.services->session, window, kStampBlockReason);
  return EraseDiskStamp(state.disk, state.log);
}

bool WriteDiskStampHeld(HWND window, const ReportDialogState& state) {
  const SessionHold hold(state.services->session, window, kStampBlockReason);
  return WriteDiskStamp(state.disk, state.payload, state.log);
}

void EraseStamp(HWND window, ReportDialogState& state) {
  // Zeroing LBA 0..255 of a disk without a stamp destroys its partition table and erases nothing.
  if (state.services->detectDiskStamp(state.disk).incomplete != 0) {
    Box(window, state, kNoStampToErase, kSafetyGuardTitle, MB_OK | MB_ICONWARNING);
    return;
  }
  const bool allZero = ClaimsAllZero(state);
  if (!EraseDiskStampHeld(window, state)) {
    Box(window, state, kEraseFailed, kProductName, MB_OK | MB_ICONERROR);
    return;
  }
  state.payload.stampState = allZero ? kStateAllZero : kStateStampAreaZero;
  InvalidateRect(window, nullptr, TRUE);
  Box(window, state, allZero ? kErasedAllZero : kErasedStampArea, kProductName,
      MB_OK | MB_ICONINFORMATION);
}

void WriteStamp(HWND window, ReportDialogState& state) {
  // A dry run erased nothing: its report on the disk would read as a proof of erasure.
  if (IsSimulation(state)) {
    Box(window, state, kSimulationNotStamped, kProductName, MB_OK | MB_ICONERROR);
    return;
  }
  if (state.payload.certificateId.empty()) {
    state.payload.certificateId = MakeCertificateId();
    state.payload.sanitizationDate = FormatLocalTimestamp();
    state.payload.verification = kOperatorStampVerdict;
  }
  if (!WriteDiskStampHeld(window, state)) {
    Box(window, state, kStampFailed, kProductName, MB_OK | MB_ICONERROR);
    return;
  }
  state.payload.incomplete = 0;
  state.payload.stampState = kStampStateActive;
  InvalidateRect(window, nullptr, TRUE);
  Box(window, state, kStamped, kProductName, MB_OK | MB_ICONINFORMATION);
}

bool PutOnClipboard(HWND window, const std::wstring& text) {
  if (!OpenClipboard(window)) return false;
  EmptyClipboard();
  bool placed = false;
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (block != nullptr) {
    void* memory = GlobalLock(block);
    if (memory != nullptr) {
      std::copy_n(text.c_str(), text.size() + 1, static_cast<wchar_t*>(memory));
      GlobalUnlock(block);
      placed = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    }
    if (!placed) GlobalFree(block);  // the clipboard owns it only once it was set
  }
  CloseClipboard();
  return placed;
}

}  // namespace

void SaveReportsElsewhere(HWND window, ReportDialogState& state) {
  if (!CertifiesAnErasure(state)) {
    Box(window, state, kNoErasureToCertify, kProductName, MB_OK | MB_ICONWARNING);
    return;
  }
  const std::wstring folder = state.services->pickOutputFolder(window, std::wstring());
  if (folder.empty()) return;
  ReportData record = RecordForSaving(state);
  record.config.outputFolder = folder;
  if (!SaveReports(record)) {
    Box(window, state, kSaveFailed, kProductName, MB_OK | MB_ICONERROR);
    return;
  }
  state.htmlPath = record.htmlPath;
  state.payload.sha256Fingerprint = record.sha256Fingerprint;
  if (state.payload.certificateId.empty()) {  // a later stamp names the saved certificate
    state.payload.certificateId = record.certificateId;
    state.payload.sanitizationDate = record.startTime;
  }
  InvalidateRect(window, nullptr, TRUE);
  Box(window, state,
      L"指定された保存先へ証明書および監査ログ一式を保存しました！\n\n・HTML証明書: " +
          record.htmlPath + L"\n・JSONレポート: " + record.jsonPath + L"\n・TXT監査ログ: " +
          record.txtPath,
      kSavedTitle, MB_OK | MB_ICONINFORMATION);
}

void SwitchDiskStamp(HWND window, ReportDialogState& state) {
  if (state.jobRunning && state.jobRunning()) {
    Box(window, state, kJobRunning, kProductName, MB_OK | MB_ICONWARNING);
    return;
  }
  if (!state.hasDisk) {
    Box(window, state, kNoDisk, kProductName, MB_OK | MB_ICONWARNING);
    return;
  }
  // Refused before any question: a stamp over a protected disk destroys its boot sectors.
  if (!AllowsWrite(state.disk.safetyStatus)) {
    Box(window, state, kProtectedDisk, kSafetyGuardTitle, MB_OK | MB_ICONWARNING);
    return;
  }
  const std::wstring question = L"対象ディスク " + DiskNamed(state.disk) + kSwitchQuestionHead +
                                (ClaimsAllZero(state) ? kYesAllZero : kYesStampAreaOnly) +
                                kSwitchQuestionTail;
  const int answer = Box(window, state, question, kSwitchTitle, MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDYES) EraseStamp(window, state);
  if (answer == IDNO) WriteStamp(window, state);
}

void OpenHtmlCertificate(HWND window, const ReportDialogState& state) {
  if (!state.htmlPath.empty() && PathExists(state.htmlPath)) {
    if (const uint32_t error = state.services->shellOpen(window, state.htmlPath); error != 0)
      Box(window, state, CertificateOpenFailure(state.htmlPath, error), kProductName,
          MB_OK | MB_ICONERROR);
    return;
  }
  Box(window, state, kNoHtml, kProductName, MB_OK | MB_ICONINFORMATION);
}

std::wstring ReportClipboardText(const StampPayload& payload) {
  const std::wstring rule(72, L'=');
  const auto line = [](const wchar_t* name, const std::wstring& value) {
    return L"  " + PaddedReportName(name) + L" : " + value + L"\r\n";
  };
  const std::wstring details[7] = {
      payload.certificateId,
      payload.sanitizationDate,
      payload.softwareVersion,
      payload.standardName + L" (" + std::to_wstring(payload.passesCompleted) + L" Passes)",
      payload.verification,
      payload.stampState,
      payload.sha256Fingerprint,
  };
  std::wstring text = rule + L"\r\n" +
                      L"  TOREVAL DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT\r\n" +
                      rule + L"\r\n[Report details]\r\n";
  for (size_t i = 0; i < 7; ++i)
    text += line(kReportDetailNames[i], details[i]);
  text += L"\r\n[Hardware details]\r\n";
  for (const ReportRow& row : HardwareRows(payload.hardware))
    text += line(row.name, *row.value);
  return text;
}

void CopyReportToClipboard(HWND window, const ReportDialogState& state) {
  if (!PutOnClipboard(window, ReportClipboardText(state.payload))) {
    Box(window, state, kCopyFailed, kProductName, MB_OK | MB_ICONERROR);
    return;
  }
  Box(window, state, kCopied, kProductName, MB_OK | MB_ICONINFORMATION);
}

}  // namespace tvde
