#pragma once
// What the media builder takes from the machine it runs on. Every path and service of the
// builder comes through this record, so tests run it against a fake ADK tree and fake tools.

#include <functional>
#include <string>
#include <vector>

#include "winpe/command_runner.h"

namespace tvde {

struct WinPEHost {
  std::vector<std::wstring> adkRootCandidates;  // ADK install folders, in the order tried
  std::wstring tempFolder;    // the user's temporary folder, ending in a backslash
  std::wstring programPath;   // the running program's own file
  std::wstring systemFolder;  // the system DLL folder (64-bit DLLs)
  std::wstring wow64Folder;   // the 32-bit system DLL folder
  std::wstring fontsFolder;   // the host's font folder, ending in a backslash
  CommandRunner runCommand;
  // Shows a folder in the system file browser.
  std::function<void(const std::wstring& folder)> openFolder;
  // True when a downloaded installer carries a valid Authenticode signature.
  std::function<bool(const std::wstring& file)> verifyInstaller;
  // True when the drive ("E:") is a removable drive at this moment.
  std::function<bool(const std::wstring& drive)> isRemovableDrive;
};

// The real machine: the fixed ADK folders, RunShellCommand, the shell, WinVerifyTrust and the
// drive types. Windows build only.
WinPEHost DefaultWinPEHost();

}  // namespace tvde
