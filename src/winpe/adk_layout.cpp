// ADK folders, the completeness test and its status line.
#include "winpe/adk_layout.h"

#include "base/file_system.h"
#include "winpe/winpe_build_commands.h"

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

std::wstring AdkVersionFile(const std::wstring& adkRoot) {
  return AdkDismPath(adkRoot);
}

std::wstring WinPEAddonVersionFile(const std::wstring& adkRoot) {
  return adkRoot + L"\\Windows Preinstallation Environment\\amd64\\Media\\EFI\\Boot\\bootx64.efi";
}

bool AdkVersionsDiffer(const std::wstring& adkVersion, const std::wstring& addonVersion) {
  const auto build = [](const std::wstring& version) {
    const size_t first = version.find(L'.');
    const size_t second = first == std::wstring::npos ? first : version.find(L'.', first + 1);
    if (second == std::wstring::npos) return std::wstring();
    return version.substr(second + 1, version.find(L'.', second + 1) - second - 1);
  };
  const std::wstring adkBuild = build(adkVersion);
  const std::wstring addonBuild = build(addonVersion);
  return !adkBuild.empty() && !addonBuild.empty() && adkBuild != addonBuild;
}

int32_t AdkStatusAt(const std::wstring& adkRoot, const FileVersionReader& readVersion) {
  if (!PathExists(AdkEnvironmentScript(adkRoot))) return kAdkMissing;
  if (!PathExists(AdkWinPEMarker(adkRoot))) return kAdkWinPEMissing;
  if (readVersion && AdkVersionsDiffer(readVersion(AdkVersionFile(adkRoot)),
                                       readVersion(WinPEAddonVersionFile(adkRoot)))) {
    return kAdkVersionMismatch;
  }
  return kAdkReady;
}

bool HasX86WinPEAt(const std::wstring& adkRoot) {
  return PathExists(AdkX86WinPEImage(adkRoot));
}

std::wstring AdkStatusLabelText(int32_t status, bool hasX86WinPE) {
  if (status == kAdkReady) {
    return hasX86WinPE ? L"ADK状態: [OK] x64 + x86(32bit Win10 PE) + 日本語ロケール 完全対応"
                       : L"ADK状態: [OK] x64 導入済 (x86 32bitは下のWin10 ADK導入で追加可)";
  }
  if (status == kAdkWinPEMissing) return L"ADK状態: [要追加] WinPE Add-on が未導入です";
  if (status == kAdkVersionMismatch) {
    return L"ADK状態: [要更新] ADK と WinPE Add-on のバージョンが一致しません (下のボタンから同じ版を導入可能)";
  }
  return L"ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能";
}

}  // namespace tvde
