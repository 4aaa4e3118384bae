// The ADK acquisition's command templates.
#include "winpe/adk_commands.h"

#include "winpe/winpe_build_commands.h"

namespace tvde {

std::wstring AdkDownloadUrl(AdkDownloadLink link) {
  return std::wstring(kAdkDownloadHost) + L"/fwlink/?linkid=" + std::to_wstring(link);
}

std::wstring DownloadCommand(const std::wstring& systemFolder, AdkDownloadLink link,
                             const std::wstring& file) {
  return SystemTool(systemFolder, L"curl.exe") + L" -L \"" + AdkDownloadUrl(link) + L"\" -o \"" +
         file + L"\"";
}

std::wstring InstallFeatureCommand(const std::wstring& installer, std::wstring_view feature) {
  return L"\"" + installer + L"\" /quiet /norestart /features " + std::wstring(feature);
}

std::wstring LayoutCommand(const std::wstring& installer, const std::wstring& folder) {
  return L"\"" + installer + L"\" /layout \"" + folder + L"\" /quiet";
}

std::wstring MsiExtractCommand(const std::wstring& systemFolder, const std::wstring& package,
                               const std::wstring& folder) {
  return SystemTool(systemFolder, L"msiexec.exe") + L" /a \"" + package + L"\" /qn TARGETDIR=\"" +
         folder + L"\"";
}

std::wstring CopyTreeCommand(const std::wstring& systemFolder, const std::wstring& from,
                             const std::wstring& to) {
  return SystemTool(systemFolder, L"xcopy.exe") + L" /E /I /Y \"" + from + L"\" \"" + to + L"\"";
}

std::wstring WingetInstallCommand(const WingetPackage& package) {
  return L"winget install --id " + std::wstring(package.id) + L" -e --version " +
         std::wstring(package.version) + L" --accept-package-agreements --accept-source-agreements";
}

}  // namespace tvde
