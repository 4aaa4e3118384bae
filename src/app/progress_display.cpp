// The running job on screen: progress bars and status line, the log lines of the workers, the
// job's outcome, abort, and the two buttons that show the last job's reports.
#include <optional>

#include "app/app.h"
#include "app/shell_open.h"
#include "app/win_controls.h"
#include "base/product.h"
#include "base/text.h"

namespace tvde {
namespace {

constexpr size_t kStatusLineMaxChars = 511;

constexpr const wchar_t* kCompletedStatus =
    L"完了 (COMPLETED) - 実機消去証明＆ハードウェアレポートを発行しました！";
constexpr const wchar_t* kCertificateSavedLog = L"[CERTIFICATE] 証明書・監査ログ保存完了: ";
constexpr const wchar_t* kScreenReportLog =
    L"[REPORT] 画面レポート発行完了 (レポート画面のボタンから別ドライブへログ保存も可能です)。";
constexpr const wchar_t* kCancelledStatus = L"中断 (CANCELLED) - ユーザーによって停止されました。";
constexpr const wchar_t* kCancelledBox = L"消去処理を中断しました。中断ログが保存されました。";
constexpr const wchar_t* kAbortLog =
    L"[ABORT] ユーザーにより緊急停止シグナルが送信されました。安全に停止しています...";
constexpr const wchar_t* kReportAlreadyOpenLog =
    L"[REPORT] レポート画面が開いているため、今回の消去レポートは自動表示しませんでした。閉じた後「★ 実機消去＆HWレポート画面」ボタンから確認できます。";
constexpr const wchar_t* kNoCertificateBox =
    L"まだこのセッションで保存されたHTML消去証明書ファイルがありません。\n・「★ 実機消去＆HWレポート画面」の『別ドライブへログ・証明書保存...』から任意のUSBメモリやフォルダへ保存できます。";

bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The same physical disk as far as the list can tell: after a rescan a number may be another disk.
bool SameDisk(const DiskInfo& a, const DiskInfo& b) {
  return a.diskNumber == b.diskNumber && a.serialNumber == b.serialNumber && a.model == b.model &&
         a.sizeBytes == b.sizeBytes;
}

std::wstring FormatStatusLine(const EraseProgressInfo& progress) {
  std::wstring line = progress.statusText + L"  |  現在パス: " +
                      std::to_wstring(progress.passPercent) + L"%  |  全体進捗: " +
                      std::to_wstring(progress.overallPercent) + L"%  |  処理速度: " +
                      FormatPrintfW("%.1f", progress.speedMBps) + L" MB/s";
  if (line.size() > kStatusLineMaxChars) line.resize(kStatusLineMaxChars);
  return line;
}

}  // namespace

void App::OnProgressMessage() {
  const EraseProgressInfo progress = TakeProgress(mailbox);
  SetProgressPosition(controls.passBar, progress.passPercent);
  SetProgressPosition(controls.overallBar, progress.overallPercent);
  SetText(controls.statusLabel, FormatStatusLine(progress));
}

void App::OnLogMessage() {
  for (const std::wstring& line : TakeLogLines(mailbox))
    AppendLog(line);
}

void App::OnEraseDone() {
  busy.exchange(0);
  ReleaseSession();
  Enable(controls.startErase, true);
  Enable(controls.abort, false);
  OnLogMessage();  // lines the job wrote before it ended come before its outcome
  const ReportData result = CopyLastResult(mailbox);
  if (result.statusCode == kStatusCompleted) {
    SetProgressPosition(controls.passBar, 100);
    SetProgressPosition(controls.overallBar, 100);
    SetText(controls.statusLabel, kCompletedStatus);
    AppendLog(result.htmlPath.empty() ? std::wstring(kScreenReportLog)
                                      : kCertificateSavedLog + result.htmlPath);
    AppendLog(L"[SHA-256] " + result.sha256Fingerprint);
    OpenReportDialog(
        {result.stamp, result.htmlPath, result, result.config.disk, StampLogSink(), {}});
  } else if (result.statusCode == kStatusCancelled) {
    SetText(controls.statusLabel, kCancelledStatus);
    ShowBox(kCancelledBox, kProductName, MB_OK | MB_ICONWARNING);
  } else {
    SetText(controls.statusLabel, L"エラー終了: " + result.errorMessage);
    ShowBox(L"消去処理中にエラーが発生しました:\n" + result.errorMessage, kProductName,
            MB_OK | MB_ICONERROR);
  }
  RefreshDiskList();
}

void App::OnAbort() {
  if (busy.load() != 1) return;
  cancelRequested.exchange(1);
  AppendLog(kAbortLog);
}

void App::OnOpenCertificate() {
  const std::wstring htmlPath = CopyLastResult(mailbox).htmlPath;
  if (!htmlPath.empty() && FileExists(htmlPath)) {
    if (const uint32_t error = services.shellOpen(mainWindow, htmlPath); error != 0)
      ShowBox(CertificateOpenFailure(htmlPath, error), kProductName, MB_OK | MB_ICONERROR);
    return;
  }
  ShowBox(kNoCertificateBox, kProductName, MB_OK | MB_ICONINFORMATION);
}

void App::OnOpenReportDialog() {
  ReportDialogRequest request;
  if (selectedDiskIndex >= 0 && selectedDiskIndex < static_cast<int32_t>(disks.size()))
    request.disk = disks[static_cast<size_t>(selectedDiskIndex)];
  {
    std::lock_guard<std::mutex> lock(mailbox.stateMutex);
    const ReportData& last = mailbox.lastResult;
    // The last job's report belongs to its own disk only: the dialog's stamp switch would
    // otherwise engrave it on whatever disk is selected now.
    if (last.statusCode == kStatusCompleted &&
        (!request.disk || SameDisk(*request.disk, last.config.disk))) {
      request.payload = last.stamp;
      request.htmlPath = last.htmlPath;
      request.result = last;
    }
  }
  if (request.payload.incomplete != 0 && request.disk) {
    request.payload = services.detectDiskStamp(*request.disk);
    if (request.payload.incomplete == 0) {
      AppendLog(L"[DISK STAMP] Disk " + std::to_wstring(request.disk->diskNumber) +
                L" から実機消去＆ハードウェアレポートスタンプを検出しました！");
    }
  }
  request.log = StampLogSink();
  OpenReportDialog(std::move(request));
}

void App::OpenReportDialog(ReportDialogRequest request) {
  // A job that ends while a dialog is open must not stack a second modal loop on the first.
  if (reportDialogOpen) return AppendLog(kReportAlreadyOpenLog);
  request.jobRunning = [this] { return busy.load() != 0; };
  reportDialogOpen = true;
  services.showReportDialog(mainWindow, request);
  reportDialogOpen = false;
}

LogCallback App::StampLogSink() {
  // The dialog runs on this thread, so its stamp lines go straight to the console.
  return [this](const std::wstring& line) { AppendLog(line); };
}

}  // namespace tvde
