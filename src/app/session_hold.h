#pragma once
// The machine while long work runs (an erase job, a stamp write, a WinPE job): it must not
// sleep, and the session should not end under a half-erased disk. The OS calls go through
// SessionServices so that tests see them taken and released.

#include <windows.h>

#include <functional>
#include <string>

namespace tvde {

struct SessionServices {
  // SetThreadExecutionState: the previous state, 0 on failure.
  std::function<EXECUTION_STATE(EXECUTION_STATE state)> setExecutionState;
  // ShutdownBlockReasonCreate / ShutdownBlockReasonDestroy of a top-level window.
  std::function<bool(HWND window, const std::wstring& reason)> blockShutdown;
  std::function<bool(HWND window)> unblockShutdown;
};

SessionServices DefaultSessionServices();

// The reasons the shutdown screen shows, one per kind of work.
inline constexpr const wchar_t* kEraseBlockReason =
    L"ディスクの消去を実行中です。終了すると消去途中のディスクが残ります。";
inline constexpr const wchar_t* kStampBlockReason =
    L"ディスクへのレポートスタンプの書き込み / 消去を実行中です。";
inline constexpr const wchar_t* kWinPEBlockReason =
    L"WinPE メディアの作成 / Windows ADK の導入を実行中です。";

// Keeps the system awake (ES_CONTINUOUS | ES_SYSTEM_REQUIRED on the calling thread) and
// registers the shutdown-block reason of `window` for as long as it lives. The thread's
// previous execution state comes back on release, so a hold inside another keeps the outer one.
class SessionHold {
 public:
  SessionHold(const SessionServices& services, HWND window, const std::wstring& reason);
  SessionHold(const SessionHold&) = delete;
  SessionHold& operator=(const SessionHold&) = delete;
  ~SessionHold();

 private:
  const SessionServices& services_;
  HWND window_;
  EXECUTION_STATE previous_;
};

}  // namespace tvde
