#pragma once
// Command lines and file names of the ADK download and installation.

#include <cstdint>
#include <string>
#include <string_view>

namespace tvde {

// The vendor's download redirect service; every installer is fetched as
// kAdkDownloadHost + "/fwlink/?linkid=" + link id.
inline constexpr std::wstring_view kAdkDownloadHost = L"https://go.microsoft.com";

enum AdkDownloadLink : uint32_t {
  kLinkWin10Adk = 2120254,
  kLinkWin10WinPE = 2120253,
  kLinkWin11Adk = 2271337,
  kLinkWin11WinPE = 2271338,
};

struct AdkInstallerFile {
  AdkDownloadLink link;
  const wchar_t* fileName;
};

// The installer set saved by the download-only choice, in download order.
inline constexpr AdkInstallerFile kAdkInstallerSet[] = {
    {kLinkWin10Adk, L"adksetup_win10_x86_x64.exe"},
    {kLinkWin10WinPE, L"adkwinpesetup_win10_x86_x64.exe"},
    {kLinkWin11Adk, L"adksetup_win11.exe"},
    {kLinkWin11WinPE, L"adkwinpesetup_win11.exe"},
};

// The version of the Windows 10 ADK (version 2004) behind the links above.
inline constexpr std::wstring_view kWin10AdkVersion = L"10.0.19041.1";

// File names of the Windows 10 installers when they are downloaded to be run.
inline constexpr std::wstring_view kWin10AdkSetupName = L"adksetup_win10.exe";
inline constexpr std::wstring_view kWin10WinPESetupName = L"adkwinpesetup_win10.exe";

// The two installer packages of the WinPE add-on that carry the 32-bit WinPE, relative to the
// add-on's layout folder.
inline constexpr std::wstring_view kX86WinPEPackages[] = {
    L"\\Installers\\Windows PE x86 x64-x86_en-us.msi",
    L"\\Installers\\Windows PE x86 x64 wims-x86_en-us.msi",
};

// The package manager's ADK and WinPE add-on, pinned to one release: DISM services only the
// optional components of its own ADK build, and the add-on of the current ADK is published
// under a new package name.
struct WingetPackage {
  std::wstring_view id;
  std::wstring_view version;
};
inline constexpr WingetPackage kWingetAdk = {L"Microsoft.WindowsADK", L"10.1.28000.1"};
inline constexpr WingetPackage kWingetWinPEAddon = {L"Microsoft.WindowsADK.WindowsPEaddon",
                                                    L"10.1.28000.1"};

std::wstring AdkDownloadUrl(AdkDownloadLink link);

// System tools are named by their full path in `systemFolder` (see SystemTool).
// "{system}\curl.exe" -L "{url}" -o "{file}"
std::wstring DownloadCommand(const std::wstring& systemFolder, AdkDownloadLink link,
                             const std::wstring& file);

// "{installer}" /quiet /norestart /features {feature}
std::wstring InstallFeatureCommand(const std::wstring& installer, std::wstring_view feature);

// "{installer}" /layout "{folder}" /quiet
std::wstring LayoutCommand(const std::wstring& installer, const std::wstring& folder);

// "{system}\msiexec.exe" /a "{package}" /qn TARGETDIR="{folder}"
std::wstring MsiExtractCommand(const std::wstring& systemFolder, const std::wstring& package,
                               const std::wstring& folder);

// "{system}\xcopy.exe" /E /I /Y "{from}" "{to}"
std::wstring CopyTreeCommand(const std::wstring& systemFolder, const std::wstring& from,
                             const std::wstring& to);

// winget install --id {id} -e --version {version} --accept-package-agreements
// --accept-source-agreements
std::wstring WingetInstallCommand(const WingetPackage& package);

}  // namespace tvde
