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

}  // namespace tvde
