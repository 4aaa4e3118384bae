#pragma once
// What the media builder takes from the machine it runs on. Every path and service of the
// builder comes through this record, so tests run it against a fake ADK tree and fake tools.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "winpe/adk_layout.h"
#include "winpe/command_runner.h"

namespace tvde {

// What Authenticode says about a downloaded installer.
struct InstallerSignature {
  int32_t status = -1;              // the trust verdict: 0 when the signature is intact and trusted
  bool microsoftRoot = false;       // the signer's chain ends in a Microsoft root
  std::wstring signerOrganization;  // the organisation (O=) of the signing certificate
};

// Installers run with administrator rights, so only Microsoft's own are run: any other valid
// publisher is refused as well as a broken signature.
inline bool IsMicrosoftSignature(const InstallerSignature& signature) {
  return signature.status == 0 && signature.microsoftRoot &&
         signature.signerOrganization == L"Microsoft Corporation";
}

struct WinPEHost {
  std::vector<std::wstring> adkRootCandidates;  // ADK install folders, in the order tried
  std::wstring tempFolder;    // the user's temporary folder, ending in a backslash
  std::wstring programPath;   // the running program's own file
  std::wstring systemFolder;  // the system folder: its tools and the 64-bit DLLs
  std::wstring wow64Folder;   // the 32-bit system DLL folder
  std::wstring fontsFolder;   // the host's font folder, ending in a backslash
  CommandRunner runCommand;
  // Shows a folder in the system file browser.
  std::function<void(const std::wstring& folder)> openFolder;
  // Checks the signature of `file` through `fileHandle`, a handle on it that the caller opened
  // without write sharing and keeps open until the installer has run: the file checked is the
  // file run, whoever else can write to the download folder.
  std::function<InstallerSignature(const std::wstring& file, void* fileHandle)> checkSignature;
  FileVersionReader fileVersion;
  // True when the drive ("E:") is a removable drive at this moment.
  std::function<bool(const std::wstring& drive)> isRemovableDrive;
};

// The real machine: the fixed ADK folders, RunShellCommand, the shell, WinVerifyTrust, version
// resources and the drive types. Windows build only.
WinPEHost DefaultWinPEHost();

}  // namespace tvde
