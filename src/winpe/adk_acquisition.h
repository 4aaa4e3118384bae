#pragma once
// Download and silent installation of the Windows ADK and its WinPE add-on.

#include <cstdint>
#include <string>

#include "base/log_callback.h"
#include "winpe/winpe_host.h"

namespace tvde {

// The entries of the main window's ADK choice list, in list order.
enum AdkAcquireChoice : int32_t {
  kAdkChoiceWin10 = 0,         // Windows 10 ADK + add-on, with the 32-bit WinPE side by side
  kAdkChoiceWin11 = 1,         // the current ADK + add-on through the package manager
  kAdkChoiceDownloadOnly = 2,  // the four installer files, then their folder is shown
};

// 1 and 2 are themselves; anything else, no selection included, is the Windows 10 choice.
inline AdkAcquireChoice AdkChoiceFromListIndex(int32_t index) {
  if (index == kAdkChoiceWin11 || index == kAdkChoiceDownloadOnly) {
    return static_cast<AdkAcquireChoice>(index);
  }
  return kAdkChoiceWin10;
}

// Windows build only; runs on a worker thread. An empty folder means the temporary folder's
// "Toreval_ADK_Downloads". Returns 0 when the ADK is ready at the end (always 0 for the
// download-only choice), 1 when it still is not. Only the ADK status decides, never a tool's
// exit code; installers are run only when their signature verifies.
int32_t AcquireAdk(int32_t choice, const std::wstring& folder, LogCallback log,
                   const WinPEHost& host = DefaultWinPEHost());

}  // namespace tvde
