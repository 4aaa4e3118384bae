// Centring and the message loop of the modal windows.
#include "app/modal_window.h"

namespace tvde {

POINT CenteredOn(HWND parent, int32_t width, int32_t height, int32_t minimum) {
  RECT area{};
  if (parent == nullptr || !GetWindowRect(parent, &area)) {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  POINT origin{area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2};
  if (origin.x < 0) origin.x = minimum;
  if (origin.y < 0) origin.y = minimum;
  return origin;
}

uint32_t DpiFor(HWND parent) {
  const uint32_t dpi = parent != nullptr ? GetDpiForWindow(parent) : 0;
  return dpi != 0 ? dpi : GetDpiForSystem();
}

void RunModalLoop(HWND window, HWND parent, const std::function<bool(MSG&)>& filter) {
  // A parent already disabled (by a modal window below this one) is left to whoever disabled it.
  const bool parentWasEnabled = parent != nullptr && IsWindowEnabled(parent);
  if (parentWasEnabled) EnableWindow(parent, FALSE);
  MSG message{};
  while (IsWindow(window)) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // The application is ending: its own loop must see the quit message as well.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got < 0) break;
    if (filter(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (IsWindow(window)) DestroyWindow(window);
  if (parentWasEnabled) {
    EnableWindow(parent, TRUE);
    SetForegroundWindow(parent);
  }
}

}  // namespace tvde
