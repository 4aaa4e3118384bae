// Fitting a window's layout into the monitor's work area.
#include "app/window_fit.h"

#include <algorithm>

#include "app/main_controls.h"

namespace tvde {
namespace {

// The largest DPI at which `content` fits into `available` (96-DPI pixels to pixels); 0 when
// nothing fits.
int64_t DpiThatFits(int32_t content, int32_t available) {
  if (content <= 0) return INT32_MAX;
  return available <= 0 ? 0 : int64_t{available} * USER_DEFAULT_SCREEN_DPI / content;
}

}  // namespace

WindowFit FitToWorkArea(SIZE content, SIZE frame, uint32_t monitorDpi, const RECT& workArea,
                        POINT topLeft) {
  const int32_t workWidth = workArea.right - workArea.left;
  const int32_t workHeight = workArea.bottom - workArea.top;
  const int64_t fits = std::min(DpiThatFits(content.cx, workWidth - frame.cx),
                                DpiThatFits(content.cy, workHeight - frame.cy));
  const int64_t floor = std::min<int64_t>(monitorDpi, kMinLayoutDpi);
  WindowFit fit;
  fit.layoutDpi = static_cast<uint32_t>(std::clamp<int64_t>(fits, floor, monitorDpi));
  const int32_t width = std::min(static_cast<int32_t>(frame.cx) + Scale(content.cx, fit.layoutDpi),
                                 std::max(workWidth, 0));
  const int32_t height = std::min(static_cast<int32_t>(frame.cy) + Scale(content.cy, fit.layoutDpi),
                                  std::max(workHeight, 0));
  const int32_t left = std::clamp<int32_t>(topLeft.x, workArea.left, workArea.right - width);
  const int32_t top = std::clamp<int32_t>(topLeft.y, workArea.top, workArea.bottom - height);
  fit.window = {left, top, left + width, top + height};
  return fit;
}

SIZE FrameSize(DWORD style, DWORD exStyle, uint32_t dpi) {
  RECT rect{0, 0, 0, 0};
  AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, dpi);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

RECT WorkAreaAt(const RECT& rect) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor)) {
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return monitor.rcWork;
}

}  // namespace tvde
