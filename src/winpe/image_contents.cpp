// Paths, commands and start-up file texts of the image customisation.
#include "winpe/image_contents.h"

#include "winpe/winpe_build_commands.h"

namespace tvde {

WinPEImagePaths MakeWinPEImagePaths(const std::wstring& adkRoot, const std::wstring& mountDir,
                                    int32_t architecture) {
  WinPEImagePaths paths;
  paths.programFiles = mountDir + L"\\Program Files";
  paths.programFolder = paths.programFiles + L"\\Toreval Disk Eraser";
  paths.programFile = paths.programFolder + L"\\TorevalDiskEraser.exe";
  const std::wstring components = adkRoot + L"\\Windows Preinstallation Environment\\" +
                                  WinPEArchitectureName(architecture) + L"\\WinPE_OCs";
  paths.fontSupportPackage = components + L"\\WinPE-FontSupport-JA-JP.cab";
  paths.languagePack = components + L"\\ja-jp\\lp.cab";
  paths.imageFonts = mountDir + L"\\Windows\\Fonts";
  paths.programFonts = paths.programFolder + L"\\Fonts";
  paths.softwareHive = mountDir + L"\\Windows\\System32\\config\\SOFTWARE";
  paths.shellStartupFile = mountDir + L"\\Windows\\System32\\winpeshl.ini";
  paths.commandStartupFile = mountDir + L"\\Windows\\System32\\startnet.cmd";
  return paths;
}

std::wstring AddPackageCommand(const std::wstring& dism, const std::wstring& mountDir,
                               const std::wstring& package) {
  return L"\"" + dism + L"\" /Image:\"" + mountDir + L"\" /Add-Package /PackagePath:\"" + package +
         L"\"";
}

std::wstring SetAllIntlCommand(const std::wstring& dism, const std::wstring& mountDir) {
  return L"\"" + dism + L"\" /Image:\"" + mountDir + L"\" /Set-AllIntl:ja-JP";
}

// Layered driver 6 is the Japanese 106/109-key keyboard.
std::wstring SetLayeredDriverCommand(const std::wstring& dism, const std::wstring& mountDir) {
  return L"\"" + dism + L"\" /Image:\"" + mountDir + L"\" /Set-LayeredDriver:6";
}

std::wstring LoadHiveCommand(const std::wstring& systemFolder, const std::wstring& hiveFile) {
  return SystemTool(systemFolder, L"reg.exe") + L" load " + std::wstring(kHiveMountKey) + L" \"" +
         hiveFile + L"\"";
}

std::wstring RegistryAddCommand(const std::wstring& systemFolder, const ImageRegistryValue& value) {
  return SystemTool(systemFolder, L"reg.exe") + L" add \"" + std::wstring(kHiveMountKey) + L"\\" +
         std::wstring(value.key) + L"\" /v \"" + std::wstring(value.name) + L"\" /t " +
         std::wstring(value.type) + L" /d \"" + std::wstring(value.data) + L"\" /f";
}

std::wstring UnloadHiveCommand(const std::wstring& systemFolder) {
  return SystemTool(systemFolder, L"reg.exe") + L" unload " + std::wstring(kHiveMountKey);
}

std::wstring QueryHiveCommand(const std::wstring& systemFolder) {
  return SystemTool(systemFolder, L"reg.exe") + L" query " + std::wstring(kHiveMountKey);
}

std::string_view ShellStartupFileText() {
  return "[LaunchApps]\r\n"
         "%SYSTEMDRIVE%\\Windows\\System32\\wpeinit.exe\r\n"
         "\"X:\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe\"\r\n";
}

std::string_view CommandStartupFileText() {
  return "@echo off\r\n"
         "wpeinit\r\n"
         "start \"\" \"X:\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe\"\r\n";
}

}  // namespace tvde
