// The real machine behind the media builder: system folders, the shell, WinVerifyTrust and
// version resources.
#include <windows.h>
// The shell and trust headers need the types of windows.h.
#include <shellapi.h>
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

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

// Authenticode check through the caller's handle. The whole chain but the root is checked for
// revocation: the machine is online, it has just downloaded the file.
InstallerSignature CheckInstallerSignature(const std::wstring& file, void* fileHandle) {
  WINTRUST_FILE_INFO fileInfo{};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = file.c_str();
  fileInfo.hFile = static_cast<HANDLE>(fileHandle);
  WINTRUST_DATA trust{};
  trust.cbStruct = sizeof(trust);
  trust.dwUIChoice = WTD_UI_NONE;
  trust.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
  trust.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
  trust.dwUnionChoice = WTD_CHOICE_FILE;
  trust.pFile = &fileInfo;
  trust.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const auto window = static_cast<HWND>(INVALID_HANDLE_VALUE);
  InstallerSignature signature;
  signature.status = WinVerifyTrust(window, &action, &trust);
  CRYPT_PROVIDER_DATA* provider =
      signature.status == 0 ? WTHelperProvDataFromStateData(trust.hWVTStateData) : nullptr;
  CRYPT_PROVIDER_SGNR* signer =
      provider != nullptr ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  if (signer != nullptr && signer->csCertChain > 0 && signer->pasCertChain != nullptr) {
    wchar_t organization[256] = {};
    CertGetNameStringW(signer->pasCertChain[0].pCert, CERT_NAME_ATTR_TYPE, 0,
                       const_cast<char*>(szOID_ORGANIZATION_NAME), organization, 256);
    signature.signerOrganization = organization;
  }
  if (signer != nullptr && signer->pChainContext != nullptr) {
    // Microsoft's code-signing certificates chain to its 2011 application root.
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof(policy);
    policy.dwFlags = MICROSOFT_ROOT_CERT_CHAIN_POLICY_CHECK_APPLICATION_ROOT_FLAG;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof(status);
    signature.microsoftRoot =
        CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_MICROSOFT_ROOT, signer->pChainContext,
                                         &policy, &status) &&
        status.dwError == 0;
  }
  trust.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(window, &action, &trust);
  return signature;
}

std::wstring FileVersion(const std::wstring& file) {
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &unused);
  if (size == 0) return {};
  std::vector<uint8_t> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
      info == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
    return {};
  }
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionLS));
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
  host.checkSignature = CheckInstallerSignature;
  host.fileVersion = FileVersion;
  host.isRemovableDrive = IsRemovableDrive;
  return host;
}

}  // namespace tvde
