// AcquireAdk: the download-only, Windows 10 and package-manager routes.
#include <windows.h>

#include "base/file_system.h"
#include "winpe/adk_acquisition.h"
#include "winpe/adk_commands.h"
#include "winpe/adk_layout.h"

namespace tvde {
namespace {

class Acquisition {
 public:
  Acquisition(const std::wstring& folder, LogCallback log, const WinPEHost& host)
      : folder_(folder), log_(std::move(log)), host_(host) {}

  int32_t DownloadOnly() {
    Log(L"[ADK DOWNLOADER] Windows 10 ADK (x86/x64対応) & Windows 11 ADK 公式インストーラーを保存しています: " +
        folder_);
    for (const AdkInstallerFile& file : kAdkInstallerSet) {
      Run(DownloadCommand(file.link, JoinPath(folder_, file.fileName)));
    }
    Log(L"[ADK DOWNLOADER] 公式インストーラー一式のダウンロードが完了しました！");
    if (host_.openFolder) host_.openFolder(folder_);
    return 0;
  }

  // True when the ADK is ready afterwards.
  bool InstallWin10() {
    Log(L"[ADK INSTALLER] Windows 10 ADK + WinPE Add-on (x86 32bit & x64 64bit / CSM & UEFI両対応) を導入しています...");
    const std::wstring adkSetup = JoinPath(folder_, kWin10AdkSetupName);
    const std::wstring peSetup = JoinPath(folder_, kWin10WinPESetupName);
    if (AdkStatusAt(AdkRoot()) == kAdkMissing) {
      Run(DownloadCommand(kLinkWin10Adk, adkSetup));
      RunSigned(adkSetup, InstallFeatureCommand(adkSetup, L"OptionId.DeploymentTools"));
    }
    Run(DownloadCommand(kLinkWin10WinPE, peSetup));
    RunSigned(peSetup,
              InstallFeatureCommand(peSetup, L"OptionId.WindowsPreinstallationEnvironment"));
    if (!HasX86WinPEAt(AdkRoot())) AddX86WinPE(peSetup);
    if (AdkStatusAt(AdkRoot()) != kAdkReady) return false;
    Log(L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！");
    return true;
  }

  int32_t InstallWithPackageManager() {
    Log(L"[ADK INSTALLER] Windows 11 ADK + WinPE Add-on の自動導入を開始します...");
    Run(WingetInstallCommand(L"Microsoft.WindowsADK"));
    Run(WingetInstallCommand(L"Microsoft.WindowsADK.WinPEAddon"));
    if (AdkStatusAt(AdkRoot()) != kAdkReady) return 1;
    Log(L"[ADK INSTALLER] Windows ADK および WinPE Add-on の導入が確認されました！");
    return 0;
  }

 private:
  // The 32-bit WinPE files are taken from the add-on's installer packages by an administrative
  // extraction (nothing is installed) and copied into the installed ADK.
  void AddX86WinPE(const std::wstring& peSetup) {
    Log(L"[WIN10 x86 PE] 既存ADK環境へ Windows 10 x86 (32-bit) WinPE コンポーネントをサイドバイサイド展開しています...");
    const std::wstring layout = JoinPath(folder_, L"layout_win10pe");
    const std::wstring extracted = JoinPath(folder_, L"extracted_win10pe");
    RunSigned(peSetup, LayoutCommand(peSetup, layout));
    for (const std::wstring_view package : kX86WinPEPackages) {
      const std::wstring packagePath = layout + std::wstring(package);
      RunSigned(packagePath, MsiExtractCommand(packagePath, extracted));
    }
    // Looked up again: the ADK may have been installed a moment ago.
    const std::wstring adk = AdkRoot();
    const std::wstring extractedAdk =
        extracted + L"\\Windows Kits\\10\\Assessment and Deployment Kit";
    Run(CopyTreeCommand(extractedAdk + L"\\Windows Preinstallation Environment\\x86",
                        adk + L"\\Windows Preinstallation Environment\\x86"));
    const std::wstring x86Tools = extractedAdk + L"\\Deployment Tools\\x86";
    if (IsExistingFolder(x86Tools)) {
      Run(CopyTreeCommand(x86Tools, adk + L"\\Deployment Tools\\x86"));
    }
  }

  // Downloaded installers run with administrator rights; one that does not carry a valid
  // signature (a damaged or replaced download) is never started.
  void RunSigned(const std::wstring& file, const std::wstring& command) {
    if (!host_.verifyInstaller || !host_.verifyInstaller(file)) {
      Log(L"[ERROR] デジタル署名を検証できないため、このインストーラーは実行しません: " + file);
      return;
    }
    Run(command);
  }

  void Run(const std::wstring& command) { host_.runCommand(command, log_); }
  void Log(const std::wstring& line) { EmitLog(log_, line); }
  std::wstring AdkRoot() const { return ResolveAdkRoot(host_.adkRootCandidates); }

  const std::wstring& folder_;
  LogCallback log_;
  const WinPEHost& host_;
};

}  // namespace

int32_t AcquireAdk(int32_t choice, const std::wstring& folder, LogCallback log,
                   const WinPEHost& host) {
  const std::wstring downloads =
      folder.empty() ? host.tempFolder + L"Toreval_ADK_Downloads" : folder;
  CreateDirectoryW(downloads.c_str(), nullptr);  // one level; an existing folder is fine
  Acquisition acquisition(downloads, std::move(log), host);
  switch (AdkChoiceFromListIndex(choice)) {
    case kAdkChoiceDownloadOnly:
      return acquisition.DownloadOnly();
    case kAdkChoiceWin10:
      if (acquisition.InstallWin10()) return 0;
      return acquisition.InstallWithPackageManager();  // the fallback when still not ready
    case kAdkChoiceWin11:
      break;
  }
  return acquisition.InstallWithPackageManager();
}

}  // namespace tvde
