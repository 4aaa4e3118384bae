// The portable half of Ctrl+C handling: which flag an interrupt goes to, and whether it is the
// first one.
#include "cli_interrupt.h"

#include <atomic>

namespace tvde::cli {
namespace {

std::atomic<CancelFlag*> g_cancel{nullptr};
std::atomic<int32_t> g_interrupts{0};

static_assert(std::atomic<CancelFlag*>::is_always_lock_free);
static_assert(std::atomic<int32_t>::is_always_lock_free);

}  // namespace

InterruptScope::InterruptScope(CancelFlag& cancel) {
  g_interrupts.store(0);
  g_cancel.store(&cancel);
  InstallInterruptHandlers();
}

InterruptScope::~InterruptScope() {
  RestoreInterruptHandlers();
  g_cancel.store(nullptr);
}

bool RequestCancelFromInterrupt() {
  CancelFlag* cancel = g_cancel.load();
  if (cancel == nullptr) return false;
  if (g_interrupts.fetch_add(1) != 0) return false;
  cancel->store(1);
  return true;
}

}  // namespace tvde::cli
