#pragma once
// The system's save-file dialog for the WinPE ISO image.

#include <windows.h>

#include <string>

namespace tvde {

// Offers `suggestedName` with the single filter "ISO Image (*.iso)"; asks before overwriting and
// wants an existing folder. The chosen file, or empty when the operator cancelled.
std::wstring AskIsoFilePath(HWND owner, const std::wstring& suggestedName);

}  // namespace tvde
