// SIGINT and SIGTERM during an erase job: the first asks the job to stop, the second takes
// the signal's default action.
#include <signal.h>
#include <unistd.h>

#include "base/unfinished_files.h"
#include "cli_interrupt.h"

namespace tvde::cli {
namespace {

struct sigaction g_previousInt {};
struct sigaction g_previousTerm {};

void OnSignal(int signalNumber) {
  if (RequestCancelFromInterrupt()) {
    static const char kMessage[] =
        "\ntvde-cli: stopping after the current chunk; the certificate is still written. "
        "Press Ctrl+C again to end at once.\n";
    const ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    (void)ignored;
    return;
  }
  // A report set cut short is removed, so that no certificate stands without its audit log.
  RemoveUnfinishedFiles();
  // Blocked while this handler runs, so the default action comes as soon as it returns.
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait that is not a device write (a pipe, a terminal, a network folder)
  // ends with EINTR. The device writes go on; they retry on EINTR and the job stops between
  // chunks.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, &g_previousInt);
  sigaction(SIGTERM, &action, &g_previousTerm);
}

void RestoreInterruptHandlers() {
  sigaction(SIGINT, &g_previousInt, nullptr);
  sigaction(SIGTERM, &g_previousTerm, nullptr);
}

}  // namespace tvde::cli
