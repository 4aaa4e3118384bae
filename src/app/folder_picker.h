#pragma once
// The certificate-folder picker: a modal window that lists every drive with a verdict on whether
// reports saved there are writable and survive power-off, and the same verdict for a folder that
// is already configured.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "app/app_services.h"

namespace tvde {

inline constexpr const wchar_t* kFolderPickerClass = L"TorevalFolderPickerDlgClass";

enum FolderPickerId : int32_t {
  kIdPickerDriveList = 2101,
  kIdPickerPath = 2102,
  kIdPickerBrowse = 2103,
  kIdPickerAccept = 2104,
  kIdPickerCancel = 2105,
};

// The accepted folder (created and proven writable), or empty when the operator cancelled or
// the window could not be created. Modal to `parent` (may be null) through its own loop.
std::wstring PickOutputFolder(HWND parent, const std::wstring& initialPath,
                              const MessageBoxPrompt& messageBox);

LRESULT CALLBACK FolderPickerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// What the picker knows of one drive.
struct DriveFacts {
  std::wstring root;  // "E:\"
  UINT driveType = DRIVE_UNKNOWN;
  std::wstring label;
  std::wstring fileSystem;
  uint64_t freeBytes = 0;  // available to the caller; 0 when unknown
};

// The verdict tag of a drive: read-only optical media first, then the WinPE RAM disk X:.
std::wstring DriveVerdictTag(UINT driveType, wchar_t letter);
// root + "Toreval_Erasure_Logs".
std::wstring SuggestedLogFolder(const std::wstring& root);
// The list row: root, tag, label, file system, free space and the suggested folder.
std::wstring DriveRowText(const DriveFacts& drive);
// The drive's facts as the system reports them; unreadable details stay empty or 0.
DriveFacts QueryDriveFacts(const std::wstring& root);

// Without spaces, tabs, carriage returns and line feeds at either end.
std::wstring TrimBlanks(const std::wstring& text);

// True when the folder needs the operator's attention, with `reason` set: a relative or
// invalid path, an optical drive, or the RAM disk X: under WinPE. False leaves `reason` alone.
bool CheckOutputFolder(const std::wstring& folder, std::wstring& reason);
// Same, with the drive type of a root ("D:\") and the WinPE state given.
bool CheckOutputFolderWith(const std::wstring& folder, std::wstring& reason,
                           const std::function<UINT(const std::wstring& root)>& driveTypeOf,
                           bool isWinPE);

}  // namespace tvde
