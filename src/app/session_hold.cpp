// Holding the machine awake and the session open during long work.
#include "app/session_hold.h"

namespace tvde {

SessionServices DefaultSessionServices() {
  SessionServices services;
  services.setExecutionState = [](EXECUTION_STATE state) { return SetThreadExecutionState(state); };
  services.blockShutdown = [](HWND window, const std::wstring& reason) {
    return ShutdownBlockReasonCreate(window, reason.c_str()) != FALSE;
  };
  services.unblockShutdown = [](HWND window) {
    return ShutdownBlockReasonDestroy(window) != FALSE;
  };
  return services;
}

SessionHold::SessionHold(const SessionServices& services, HWND window, const std::wstring& reason)
    : services_(services), window_(window) {
  previous_ = services_.setExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
  services_.blockShutdown(window_, reason);
}

SessionHold::~SessionHold() {
  services_.unblockShutdown(window_);
  // A thread that never asked for anything answers 0 or ES_CONTINUOUS alone: both mean clear.
  services_.setExecutionState(previous_ | ES_CONTINUOUS);
}

}  // namespace tvde
