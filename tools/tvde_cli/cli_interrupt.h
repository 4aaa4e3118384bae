#pragma once
// Ctrl+C while an erase job runs: the first one asks the job to stop (it stops within one
// chunk and still writes its certificate), a second one ends the program at once and removes a
// report set it cuts short (RemoveUnfinishedFiles).

#include "erase/erase_job.h"

namespace tvde::cli {

// While an InterruptScope lives, Ctrl+C (SIGINT and SIGTERM on POSIX; Ctrl+C and Ctrl+Break
// on the Windows console) goes to `cancel`. One scope at a time.
class InterruptScope {
 public:
  explicit InterruptScope(CancelFlag& cancel);
  ~InterruptScope();
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;
};

// What the handlers do with an interrupt: the first one inside a scope sets its flag and
// answers true; any later one (or one outside a scope) answers false, and the handler then
// lets the system end the program. Safe inside a signal handler.
bool RequestCancelFromInterrupt();

// For the handlers of each system: start and stop catching interrupts.
void InstallInterruptHandlers();
void RestoreInterruptHandlers();

}  // namespace tvde::cli
