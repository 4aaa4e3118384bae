#pragma once
// Creation of the main window's fonts and controls from the control table, their initial
// contents, and the re-layout when the window moves to a screen of another DPI.

#include "app/app.h"

namespace tvde {

// The four fonts at app.dpi (the UI face of the machine, and "MS Gothic" for the console).
void CreateMainFonts(App& app);
// Every control of the table, positioned for app.dpi, with its font; handles kept in app.
void CreateMainControls(App& app);
// Choice lists, edits and check boxes filled from app.settings.
void FillMainControls(App& app);
// New fonts and positions for app.dpi after a DPI change.
void ApplyMainLayout(App& app);

// The client size the control table needs at 96 DPI: the right and bottom edges of its controls
// (a drop-down list counted closed) and the sections' left margin once more.
SIZE MainLayoutExtent();

// The main window's client area: the layout at app.dpi fitted into the monitor's work area
// (main_window_fit.cpp). FitMainWindow sets app.dpi for app.monitorDpi and places the window
// as near `placed` as the work area of its monitor allows; the layout follows with
// ApplyMainLayout or the first creation of the controls.
void FitMainWindow(App& app, const RECT& placed);
// Scroll bars for the part of the layout the client area cannot show; hidden when it fits.
void UpdateMainScrollBars(App& app);
// Moves the view (and every control with it) so that `target` is the top-left corner shown.
void ScrollMainWindowTo(App& app, POINT target);
// WM_HSCROLL / WM_VSCROLL of the window's own bars, and the wheel.
void OnMainScroll(App& app, int bar, int code);
void OnMainWheel(App& app, int delta);
// Scrolls a control that got the keyboard focus into view.
void ScrollIntoView(App& app, HWND focus);

}  // namespace tvde
