// The main window on the monitor: the layout scaled into the work area, and scrolling for what
// still does not fit. Every control of the table moves with the view, whatever the table holds.
#include <algorithm>

#include "app/main_window_layout.h"
#include "app/window_fit.h"

namespace tvde {
namespace {

constexpr int32_t kScrollLine = 20;  // at 96 DPI
constexpr int32_t kWheelLines = 3;

SIZE ContentSize(const App& app) {
  const SIZE extent = MainLayoutExtent();
  return {Scale(extent.cx, app.dpi), Scale(extent.cy, app.dpi)};
}

SIZE ClientSize(const App& app) {
  RECT client{};
  GetClientRect(app.mainWindow, &client);
  return {client.right, client.bottom};
}

void SetBar(HWND window, int bar, LONG content, LONG page, LONG position) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = content - 1;
  info.nPage = static_cast<UINT>(std::max<LONG>(page, 0));
  info.nPos = position;
  SetScrollInfo(window, bar, &info, TRUE);  // hidden when the page holds the whole range
}

// Every child window by the same distance (the table's controls and any other).
void MoveChildren(HWND window, int dx, int dy) {
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    SetWindowPos(child, nullptr, rect.left + dx, rect.top + dy, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace

void FitMainWindow(App& app, const RECT& placed) {
  const WindowFit fit =
      FitToWorkArea(MainLayoutExtent(), FrameSize(kMainWindowStyle, 0, app.monitorDpi),
                    app.monitorDpi, app.services.workAreaAt(placed), {placed.left, placed.top});
  app.dpi = fit.layoutDpi;
  app.scroll = {0, 0};
  const RECT& w = fit.window;
  SetWindowPos(app.mainWindow, nullptr, w.left, w.top, w.right - w.left, w.bottom - w.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

void UpdateMainScrollBars(App& app) {
  const SIZE content = ContentSize(app);
  // A bar that appears narrows the client area in the other direction: a second pass sees it.
  for (int pass = 0; pass < 2; ++pass) {
    const SIZE client = ClientSize(app);
    SetBar(app.mainWindow, SB_HORZ, content.cx, client.cx, app.scroll.x);
    SetBar(app.mainWindow, SB_VERT, content.cy, client.cy, app.scroll.y);
  }
  ScrollMainWindowTo(app, app.scroll);  // a view past the new end comes back
}

void ScrollMainWindowTo(App& app, POINT target) {
  const SIZE content = ContentSize(app);
  const SIZE client = ClientSize(app);
  target.x = std::clamp<LONG>(target.x, 0, std::max<LONG>(content.cx - client.cx, 0));
  target.y = std::clamp<LONG>(target.y, 0, std::max<LONG>(content.cy - client.cy, 0));
  const int dx = app.scroll.x - target.x;
  const int dy = app.scroll.y - target.y;
  app.scroll = target;
  SetScrollPos(app.mainWindow, SB_HORZ, target.x, TRUE);
  SetScrollPos(app.mainWindow, SB_VERT, target.y, TRUE);
  if (dx != 0 || dy != 0) MoveChildren(app.mainWindow, dx, dy);
}

void OnMainScroll(App& app, int bar, int code) {
  SCROLLINFO info{};
  info.cbSize = sizeof info;
  info.fMask = SIF_ALL;
  GetScrollInfo(app.mainWindow, bar, &info);
  const int line = Scale(kScrollLine, app.dpi);
  const int page = static_cast<int>(info.nPage);
  int position = info.nPos;
  switch (code) {
    case SB_LINEUP:
      position -= line;
      break;
    case SB_LINEDOWN:
      position += line;
      break;
    case SB_PAGEUP:
      position -= page;
      break;
    case SB_PAGEDOWN:
      position += page;
      break;
    case SB_TOP:
      position = 0;
      break;
    case SB_BOTTOM:
      position = info.nMax;
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
      position = info.nTrackPos;
      break;
    default:
      return;
  }
  POINT target = app.scroll;
  (bar == SB_VERT ? target.y : target.x) = position;
  ScrollMainWindowTo(app, target);
}

void OnMainWheel(App& app, int delta) {
  const int lines = MulDiv(delta, kWheelLines, WHEEL_DELTA);
  ScrollMainWindowTo(app, {app.scroll.x, app.scroll.y - lines * Scale(kScrollLine, app.dpi)});
}

void ScrollIntoView(App& app, HWND focus) {
  // The control of the main window that holds the focus (a list view's header, a combo box's
  // edit field and the like are children of it).
  while (focus != nullptr && GetParent(focus) != app.mainWindow)
    focus = GetParent(focus);
  if (focus == nullptr) return;
  RECT rect{};
  GetWindowRect(focus, &rect);
  MapWindowPoints(nullptr, app.mainWindow, reinterpret_cast<POINT*>(&rect), 2);
  const SIZE client = ClientSize(app);
  POINT target = app.scroll;
  // As much as fits, from the top-left corner on (where a label's text begins).
  if (rect.left < 0) {
    target.x += rect.left;
  } else if (rect.right > client.cx) {
    target.x += std::min(rect.right - client.cx, rect.left);
  }
  if (rect.top < 0) {
    target.y += rect.top;
  } else if (rect.bottom > client.cy) {
    target.y += std::min(rect.bottom - client.cy, rect.top);
  }
  ScrollMainWindowTo(app, target);
}

}  // namespace tvde
