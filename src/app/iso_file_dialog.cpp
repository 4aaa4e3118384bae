// The ISO save dialog through the common dialog library.
#include "app/iso_file_dialog.h"

#include <commdlg.h>

namespace tvde {

std::wstring AskIsoFilePath(HWND owner, const std::wstring& suggestedName) {
  wchar_t file[MAX_PATH] = {};
  suggestedName.copy(file, MAX_PATH - 1);
  // Pairs of display text and pattern, ended by an empty pair.
  static constexpr wchar_t kFilter[] = L"ISO Image (*.iso)\0*.iso\0";
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = kFilter;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = L"iso";
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  return GetSaveFileNameW(&dialog) ? std::wstring(file) : std::wstring();
}

}  // namespace tvde
