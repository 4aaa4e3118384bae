#pragma once
// The two ways the report application shows its report block.

#include "efi_types.h"

namespace tvde::efi {

// Draws the graphical report on a screen of width x height pixels.
void DrawGraphicsScreen(GraphicsOutput* gop, Uint32 width, Uint32 height);

// Prints the report as text lines on the console.
void DrawTextScreen(SimpleTextOutput* conOut);

}  // namespace tvde::efi
