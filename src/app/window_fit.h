#pragma once
// How a window fits the monitor's work area: its layout, drawn at 96 DPI and scaled, is scaled
// down until the window fits, but not below a readable size; what still does not fit scrolls
// (the main window) or stays reachable from the window's top-left corner (the dialogs).

#include <windows.h>

#include <cstdint>

namespace tvde {

// The lowest DPI a layout is scaled down to: the 15-pixel UI font keeps 12 pixels (9 points at
// 96 DPI, the size of the system's own message font).
inline constexpr uint32_t kMinLayoutDpi = 76;

struct WindowFit {
  uint32_t layoutDpi = USER_DEFAULT_SCREEN_DPI;  // what the controls and fonts are scaled by
  RECT window{};                                 // the window's rectangle, inside the work area
};

// `content`: the client size the layout needs at 96 DPI; `frame`: what the window's frame adds
// at the monitor's DPI; `topLeft`: where the window would like to be. The layout DPI is the
// monitor's when the window fits, else the largest that fits, but never below kMinLayoutDpi
// (nor above the monitor's); the window is then cut to the work area and moved into it.
WindowFit FitToWorkArea(SIZE content, SIZE frame, uint32_t monitorDpi, const RECT& workArea,
                        POINT topLeft);

// What the frame of a window of these styles adds to its client area at `dpi`.
SIZE FrameSize(DWORD style, DWORD exStyle, uint32_t dpi);

// The work area of the monitor that holds most of `rect` (the nearest one when none does).
RECT WorkAreaAt(const RECT& rect);

}  // namespace tvde
