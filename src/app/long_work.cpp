// The session while a job runs: the machine is kept awake, a shutdown or log-off is refused,
// and an end of the session that comes anyway is logged (a running erase is cancelled so that it
// ends through its own path and records the cancellation).
#include "app/app.h"

namespace tvde {
namespace {

// Windows waits a few seconds for WM_ENDSESSION before it ends the process by force.
constexpr ULONGLONG kJobEndWaitMs = 3000;

constexpr const wchar_t* kEndRefusedLog =
    L"[SESSION] 処理の実行中のため、Windows のシャットダウン / ログオフ要求を拒否しました。";
constexpr const wchar_t* kWinPEEndLog =
    L"[SESSION] Windows のセッションが終了します。WinPE メディア作成 / ADK 導入は完了していません。";
constexpr const wchar_t* kEraseEndLog =
    L"[SESSION] Windows のセッションが終了します。実行中のディスク消去を中断します (消去は完了していません)。";
constexpr const wchar_t* kEraseStoppedLog =
    L"[SESSION] 消去ジョブは中断として終了しました。ディスクは消去途中の状態です。";
constexpr const wchar_t* kEraseNotStoppedLog =
    L"[SESSION] 消去ジョブはセッション終了までに停止しませんでした。ディスクは消去途中の状態です。";

}  // namespace

void App::HoldSession(const wchar_t* reason) {
  sessionHold.reset();  // one hold at a time on this window
  sessionHold.emplace(services.session, mainWindow, reason);
}

void App::ReleaseSession() {
  sessionHold.reset();
}

bool App::OnQueryEndSession() {
  if (!sessionHold) return true;
  AppendLog(kEndRefusedLog);
  return false;
}

void App::OnEndSession(bool ending) {
  if (!ending || !sessionHold) return;
  if (winpeJobRunning) return AppendLog(kWinPEEndLog);
  AppendLog(kEraseEndLog);
  cancelRequested.exchange(1);
  // The worker posts its finish message once the job has written its records.
  const ULONGLONG deadline = GetTickCount64() + kJobEndWaitMs;
  MSG message{};
  bool stopped = false;
  for (;;) {
    stopped = PeekMessageW(&message, mainWindow, WM_APP_ERASE_DONE, WM_APP_ERASE_DONE,
                           PM_NOREMOVE) != FALSE;
    if (stopped || GetTickCount64() >= deadline) break;
    Sleep(20);
  }
  AppendLog(stopped ? kEraseStoppedLog : kEraseNotStoppedLog);
}

}  // namespace tvde
