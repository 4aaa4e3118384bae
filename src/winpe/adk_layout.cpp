// ADK folders, the completeness test and its status line.
#include "winpe/adk_layout.h"

#include "base/file_system.h"

namespace tvde {

std::vector<std::wstring> DefaultAdkRootCandidates() {
  return {L"C:\\Program Files (x86)\\Windows Kits\\10\\Assessment and Deployment Kit",
          L"C:\\Program Files\\Windows Kits\\10\\Assessment and Deployment Kit"};
}

std::wstring ResolveAdkRoot(const std::vector<std::wstring>& candidates) {
  for (const std::wstring& candidate : candidates) {
    if (IsExistingFolder(candidate)) return candidate;
  }
  return candidates.empty() ? std::wstring() : candidates.front();
}

std::wstring AdkEnvironmentScript(const std::wstring& adkRoot) {
  return adkRoot + L"\\Deployment Tools\\DandISetEnv.bat";
}

std::wstring AdkWinPEMarker(const std::wstring& adkRoot) {
  return adkRoot + L"\\Windows Preinstallation Environment\\copype.cmd";
}

std::wstring AdkX86WinPEImage(const std::wstring& adkRoot) {
  return adkRoot + L"\\Windows Preinstallation Environment\\x86\\en-us\\winpe.wim";
}

int32_t AdkStatusAt(const std::wstring& adkRoot) {
  if (!PathExists(AdkEnvironmentScript(adkRoot))) return kAdkMissing;
  return PathExists(AdkWinPEMarker(adkRoot)) ? kAdkReady : kAdkWinPEMissing;
}

bool HasX86WinPEAt(const std::wstring& adkRoot) {
  return PathExists(AdkX86WinPEImage(adkRoot));
}

std::wstring GetAdkRoot() {
  return ResolveAdkRoot(DefaultAdkRootCandidates());
}

int32_t GetAdkStatus() {
  return AdkStatusAt(GetAdkRoot());
}

bool HasX86WinPE() {
  return HasX86WinPEAt(GetAdkRoot());
}

std::wstring AdkStatusLabelText(int32_t status, bool hasX86WinPE) {
  if (status == kAdkReady) {
    return hasX86WinPE ? L"ADK状態: [OK] x64 + x86(32bit Win10 PE) + 日本語ロケール 完全対応"
                       : L"ADK状態: [OK] x64 導入済 (x86 32bitは下のWin10 ADK導入で追加可)";
  }
  if (status == kAdkWinPEMissing) return L"ADK状態: [要追加] WinPE Add-on が未導入です";
  return L"ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能";
}

}  // namespace tvde
