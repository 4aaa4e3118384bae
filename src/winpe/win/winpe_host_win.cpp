// The real machine behind the media builder: system folders, the shell and WinVerifyTrust.
#include <windows.h>
// The shell and trust headers need the types of windows.h.
#include <shellapi.h>
#include <softpub.h>
#include <wintrust.h>

#include "base/host_environment.h"
#include "winpe/adk_layout.h"
#include "winpe/usb_target.h"
#include "winpe/winpe_host.h"

namespace tvde {
namespace {

std::wstring TempFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, path);
  return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(path, length);
}

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length);
}

void OpenFolder(const std::wstring& folder) {
  ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Authenticode check of a file: the signature must be present, intact and chain to a trusted
// root. No user interface; revocation is not checked (the machine may be offline).
bool HasValidSignature(const std::wstring& file) {
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = file.c_str();
  WINTRUST_DATA trust{};
  trust.cbStruct = sizeof(trust);
  trust.dwUIChoice = WTD_UI_NONE;
  trust.fdwRevocationChecks = WTD_REVOKE_NONE;
  trust.dwUnionChoice = WTD_CHOICE_FILE;
  trust.pFile = &fileInfo;
  trust.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &trust);
  trust.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &trust);
  return status == ERROR_SUCCESS;
}

}  // namespace

WinPEHost DefaultWinPEHost() {
  WinPEHost host;
  host.adkRootCandidates = DefaultAdkRootCandidates();
  host.tempFolder = TempFolder();
  host.programPath = ProgramModulePath();
  host.systemFolder = SystemFolder();
  host.wow64Folder = L"C:\\Windows\\SysWOW64";
  host.fontsFolder = L"C:\\Windows\\Fonts\\";
  host.runCommand = RunShellCommand;
  host.openFolder = OpenFolder;
  host.verifyInstaller = HasValidSignature;
  host.isRemovableDrive = IsRemovableDrive;
  return host;
}

}  // namespace tvde
