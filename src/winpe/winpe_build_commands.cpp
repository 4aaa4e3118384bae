// The media build's paths and command templates.
#include "winpe/winpe_build_commands.h"

#include <cwctype>

namespace tvde {
namespace {

std::wstring Quoted(const std::wstring& text) {
  return L"\"" + text + L"\"";
}

}  // namespace

std::wstring WinPEArchitectureName(int32_t architecture) {
  return architecture == kWinPEArchitectureX86 ? L"x86" : L"amd64";
}

std::wstring DefaultWinPEWorkDir(const std::wstring& tempFolder, int32_t architecture) {
  return tempFolder + L"Toreval_WinPE_" + WinPEArchitectureName(architecture);
}

std::wstring AdkDismPath(const std::wstring& adkRoot) {
  return adkRoot + L"\\Deployment Tools\\amd64\\DISM\\dism.exe";
}

std::wstring SystemTool(const std::wstring& systemFolder, std::wstring_view tool) {
  return Quoted(systemFolder + L"\\" + std::wstring(tool));
}

WinPEBuildPaths MakeWinPEBuildPaths(const std::wstring& adkRoot, int32_t architecture,
                                    const std::wstring& workDir, const std::wstring& systemFolder) {
  WinPEBuildPaths paths;
  paths.adkRoot = adkRoot;
  paths.arch = WinPEArchitectureName(architecture);
  paths.work = workDir;
  paths.systemFolder = systemFolder;
  paths.environmentScript = adkRoot + L"\\Deployment Tools\\DandISetEnv.bat";
  paths.dism = AdkDismPath(adkRoot);
  // The boot images must start the media's own boot manager: IA32 firmware for x86 media.
  paths.firmwareFiles = adkRoot + L"\\Deployment Tools\\" + paths.arch + L"\\Oscdimg";
  paths.isoTool = adkRoot + L"\\Deployment Tools\\amd64\\Oscdimg\\oscdimg.exe";
  paths.bootSectorTool = adkRoot + L"\\Deployment Tools\\amd64\\BCDBoot\\bootsect.exe";
  const std::wstring winpe = adkRoot + L"\\Windows Preinstallation Environment\\" + paths.arch;
  paths.mediaSource = winpe + L"\\Media";
  paths.baseImage = winpe + L"\\en-us\\winpe.wim";
  paths.media = workDir + L"\\media";
  paths.bootImage = paths.media + L"\\sources\\boot.wim";
  paths.mountDir = workDir + L"\\mount";
  paths.fwfiles = workDir + L"\\fwfiles";
  paths.bootbins = workDir + L"\\bootbins";
  return paths;
}

std::wstring MountedImagesCommand(const WinPEBuildPaths& paths) {
  return Quoted(paths.dism) + L" /Get-MountedImageInfo";
}

std::wstring CleanupMountpointsCommand(const WinPEBuildPaths& paths) {
  return Quoted(paths.dism) + L" /Cleanup-Mountpoints";
}

bool MountListNamesFolder(const std::vector<std::wstring>& lines, const std::wstring& mountDir) {
  const auto upper = [](std::wstring text) {
    for (wchar_t& c : text)
      c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    return text;
  };
  const std::wstring folder = upper(mountDir);
  for (const std::wstring& line : lines) {
    std::wstring text = upper(line);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\\'))
      text.pop_back();
    if (text.size() < folder.size()) continue;
    const size_t at = text.size() - folder.size();
    if (text.compare(at, folder.size(), folder) == 0 && (at == 0 || text[at - 1] == L' ')) {
      return true;
    }
  }
  return false;
}

std::wstring RemoveWorkDirCommand(const WinPEBuildPaths& paths) {
  return L"rmdir /s /q " + Quoted(paths.work) + L" 2>nul";
}

std::wstring StageMediaCommand(const WinPEBuildPaths& paths) {
  return SystemTool(paths.systemFolder, L"xcopy.exe") + L" /herky " + Quoted(paths.mediaSource) +
         L" " + Quoted(paths.media + L"\\");
}

std::wstring MountImageCommand(const WinPEBuildPaths& paths) {
  return Quoted(paths.dism) + L" /Mount-Image /ImageFile:" + Quoted(paths.bootImage) +
         L" /Index:1 /MountDir:" + Quoted(paths.mountDir);
}

std::wstring UnmountImageCommand(const WinPEBuildPaths& paths, UnmountAction action) {
  return Quoted(paths.dism) + L" /Unmount-Image /MountDir:" + Quoted(paths.mountDir) +
         (action == UnmountAction::kCommit ? L" /Commit" : L" /Discard");
}

std::wstring MakeUsbMediaCommand(const WinPEBuildPaths& paths, const std::wstring& drive) {
  return L"call " + Quoted(paths.environmentScript) + L" && MakeWinPEMedia.cmd /UFD /F " +
         Quoted(paths.work) + L" " + drive;
}

std::wstring BootSectorCommand(const WinPEBuildPaths& paths, const std::wstring& drive) {
  return Quoted(paths.bootSectorTool) + L" /nt60 " + drive + L" /force /mbr";
}

std::wstring MakeIsoMediaCommand(const WinPEBuildPaths& paths, const std::wstring& isoPath) {
  return L"call " + Quoted(paths.environmentScript) + L" && MakeWinPEMedia.cmd /ISO " +
         Quoted(paths.work) + L" " + Quoted(isoPath);
}

std::wstring HybridIsoCommand(const WinPEBuildPaths& paths, const std::wstring& biosBootFile,
                              const std::wstring& uefiBootFile, const std::wstring& isoPath) {
  return Quoted(paths.isoTool) + L" -m -o -u2 -udfver102 -bootdata:2#p0,e,b" +
         Quoted(biosBootFile) + L"#pEF,e,b" + Quoted(uefiBootFile) + L" " + Quoted(paths.media) +
         L" " + Quoted(isoPath);
}

}  // namespace tvde
