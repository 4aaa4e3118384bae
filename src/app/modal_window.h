#pragma once
// What the two modal windows share: a place centred on the parent and the loop that keeps the
// parent disabled while the window lives.

#include <windows.h>

#include <cstdint>
#include <functional>

namespace tvde {

// Top-left corner of a window of this size centred on the parent's window rectangle (the
// screen when there is no parent); a negative coordinate becomes `minimum`.
POINT CenteredOn(HWND parent, int32_t width, int32_t height, int32_t minimum);

// The DPI the window should be laid out for: the parent's screen, else the system's.
uint32_t DpiFor(HWND parent);

// Disables `parent`, dispatches this thread's messages until `window` is gone, then enables
// the parent and brings it forward; a parent that was disabled already stays as it was. `filter`
// sees each message first and answers true when it took it. A quit message ends the loop and is
// posted again for the caller's loop.
void RunModalLoop(HWND window, HWND parent, const std::function<bool(MSG&)>& filter);

}  // namespace tvde
