// Ctrl+C and Ctrl+Break on the Windows console during an erase job: the first asks the job to
// stop, the second goes on to the default handler, which ends the process.
#include <windows.h>

#include "base/unfinished_files.h"
#include "cli_interrupt.h"

namespace tvde::cli {
namespace {

BOOL WINAPI OnConsoleControl(DWORD controlType) {
  if (controlType != CTRL_C_EVENT && controlType != CTRL_BREAK_EVENT) return FALSE;
  if (!RequestCancelFromInterrupt()) {
    // No certificate stands without its audit log. The writer runs on while this handler does:
    // the removal waits for a file being put in place, and nothing goes in place after it.
    RemoveUnfinishedFiles();
    return FALSE;
  }
  static const char kMessage[] =
      "\r\ntvde-cli: stopping after the current chunk; the certificate is still written. "
      "Press Ctrl+C again to end at once.\r\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), kMessage, sizeof kMessage - 1, &written, nullptr);
  return TRUE;
}

}  // namespace

void InstallInterruptHandlers() {
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void RestoreInterruptHandlers() {
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

}  // namespace tvde::cli
