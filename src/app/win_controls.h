#pragma once
// Small wrappers over the control messages the windows use, so call sites read as intent.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>

namespace tvde {

void SetText(HWND control, const std::wstring& text);
// At most `maxChars` characters of the control's text.
std::wstring GetText(HWND control, size_t maxChars);
void Enable(HWND control, bool enabled);
bool IsChecked(HWND checkBox);
void SetChecked(HWND checkBox, bool checked);
// CB_ERR (-1) when nothing is selected.
int32_t ComboSelection(HWND combo);
void SetComboSelection(HWND combo, int32_t index);
void SetComboItems(HWND combo, std::initializer_list<const wchar_t*> items);
void AddComboItem(HWND combo, const std::wstring& item);
void SetProgressPosition(HWND bar, int32_t percent);

// Registers one of the program's window classes: redrawn on resize, arrow cursor, `icon` (the
// system's shield when null). True when the class is registered, by this call or an earlier one.
bool RegisterProgramWindowClass(const wchar_t* className, WNDPROC procedure, HBRUSH background,
                                HICON icon = nullptr);

}  // namespace tvde
