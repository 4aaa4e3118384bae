// Control message wrappers.
#include "app/win_controls.h"

#include <commctrl.h>

#include <vector>

namespace tvde {

void SetText(HWND control, const std::wstring& text) {
  SetWindowTextW(control, text.c_str());
}

std::wstring GetText(HWND control, size_t maxChars) {
  std::vector<wchar_t> buffer(maxChars + 1, L'\0');
  const int length = GetWindowTextW(control, buffer.data(), static_cast<int>(buffer.size()));
  return std::wstring(buffer.data(), length > 0 ? static_cast<size_t>(length) : 0);
}

void Enable(HWND control, bool enabled) {
  EnableWindow(control, enabled ? TRUE : FALSE);
}

bool IsChecked(HWND checkBox) {
  return SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND checkBox, bool checked) {
  SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

int32_t ComboSelection(HWND combo) {
  return static_cast<int32_t>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
}

void SetComboSelection(HWND combo, int32_t index) {
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void AddComboItem(HWND combo, const std::wstring& item) {
  SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void SetComboItems(HWND combo, std::initializer_list<const wchar_t*> items) {
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const wchar_t* item : items)
    AddComboItem(combo, item);
}

void SetProgressPosition(HWND bar, int32_t percent) {
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

bool RegisterProgramWindowClass(const wchar_t* className, WNDPROC procedure, HBRUSH background,
                                HICON icon) {
  if (icon == nullptr) icon = LoadIconW(nullptr, IDI_SHIELD);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hIcon = icon;
  windowClass.hIconSm = icon;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background;
  windowClass.lpszClassName = className;
  // A second window of the class in the same process (tests, a second dialog) finds it there.
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace tvde
