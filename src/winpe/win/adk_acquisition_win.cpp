// AcquireAdk: the download-only, Windows 10 and package-manager routes.
#include <windows.h>

#include "base/file_system.h"
#include "base/win/win_handle.h"
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
      Run(DownloadCommand(host_.systemFolder, file.link, JoinPath(folder_, file.fileName)));
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
    if (AdkStatusAt(AdkRoot(), host_.fileVersion) == kAdkMissing) {
      Run(DownloadCommand(host_.systemFolder, kLinkWin10Adk, adkSetup));
      RunSigned(adkSetup, InstallFeatureCommand(adkSetup, L"OptionId.DeploymentTools"));
    }
    Run(DownloadCommand(host_.systemFolder, kLinkWin10WinPE, peSetup));
    // The Windows 10 add-on over another ADK build would leave a pair that DISM cannot service;
    // its installer packages still give the x86 WinPE below.
    const std::wstring adkVersion =
        host_.fileVersion ? host_.fileVersion(AdkVersionFile(AdkRoot())) : std::wstring();
    if (AdkVersionsDiffer(adkVersion, std::wstring(kWin10AdkVersion))) {
      Log(L"[ADK INSTALLER] 導入済みの ADK (" + adkVersion +
          L") は Windows 10 ADK ではないため、Windows 10 WinPE Add-on はインストールしません。");
    } else {
      RunSigned(peSetup,
                InstallFeatureCommand(peSetup, L"OptionId.WindowsPreinstallationEnvironment"));
    }
    if (!HasX86WinPEAt(AdkRoot())) AddX86WinPE(peSetup);
    if (AdkStatusAt(AdkRoot(), host_.fileVersion) != kAdkReady) return false;
    Log(L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！");
    return true;
  }

  int32_t InstallWithPackageManager() {
    Log(L"[ADK INSTALLER] Windows 11 ADK + WinPE Add-on の自動導入を開始します...");
    Run(WingetInstallCommand(kWingetAdk));
    Run(WingetInstallCommand(kWingetWinPEAddon));
    if (AdkStatusAt(AdkRoot(), host_.fileVersion) != kAdkReady) return 1;
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
      RunSigned(packagePath, MsiExtractCommand(host_.systemFolder, packagePath, extracted));
    }
    // Looked up again: the ADK may have been installed a moment ago.
    const std::wstring adk = AdkRoot();
    const std::wstring extractedAdk =
        extracted + L"\\Windows Kits\\10\\Assessment and Deployment Kit";
    Run(CopyTreeCommand(host_.systemFolder,
                        extractedAdk + L"\\Windows Preinstallation Environment\\x86",
                        adk + L"\\Windows Preinstallation Environment\\x86"));
    const std::wstring x86Tools = extractedAdk + L"\\Deployment Tools\\x86";
    if (IsExistingFolder(x86Tools)) {
      Run(CopyTreeCommand(host_.systemFolder, x86Tools, adk + L"\\Deployment Tools\\x86"));
    }
  }

  // Downloaded installers run with administrator rights. The file stays open without write or
  // delete sharing from before its signature check until the installer has ended, so nobody can
  // put another file in its place; only Microsoft's signature lets it run.
  void RunSigned(const std::wstring& file, const std::wstring& command) {
    WinHandle locked(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    const InstallerSignature signature = locked.valid() && host_.checkSignature
                                             ? host_.checkSignature(file, locked.get())
                                             : InstallerSignature{};
    if (signature.status != 0) {
      Log(L"[ERROR] デジタル署名を検証できないため、このインストーラーは実行しません: " + file);
      return;
    }
    if (!IsMicrosoftSignature(signature)) {
      Log(L"[ERROR] Microsoft の署名ではないため、このインストーラーは実行しません (署名者: " +
          signature.signerOrganization + L"): " + file);
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
