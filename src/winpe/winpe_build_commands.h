#pragma once
// Paths and command lines of the WinPE media build.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tvde {

inline constexpr int32_t kWinPEArchitectureX86 = 1;  // any other value builds x64

// The ADK's folder name of an architecture: "x86" for 1, else "amd64".
std::wstring WinPEArchitectureName(int32_t architecture);

// {temp}Toreval_WinPE_{arch}; the temporary folder ends in a backslash.
std::wstring DefaultWinPEWorkDir(const std::wstring& tempFolder, int32_t architecture);

// The ADK's own DISM, the one that can service the optional components of the same ADK build.
std::wstring AdkDismPath(const std::wstring& adkRoot);

// A tool of the system folder, by its full path and quoted: a bare name would be looked up in
// the current folder first, and the builder runs with administrator rights.
std::wstring SystemTool(const std::wstring& systemFolder, std::wstring_view tool);

struct WinPEBuildPaths {
  std::wstring adkRoot;
  std::wstring arch;               // "x86" or "amd64"
  std::wstring work;               // working directory
  std::wstring systemFolder;       // where xcopy.exe and reg.exe live
  std::wstring environmentScript;  // DandISetEnv.bat
  std::wstring dism;               // the ADK's dism.exe (the amd64 host tool for every build)
  std::wstring isoTool;            // oscdimg.exe (likewise)
  std::wstring bootSectorTool;     // bootsect.exe (likewise)
  std::wstring firmwareFiles;      // the El Torito and EFI boot images of the architecture
  std::wstring mediaSource;        // the WinPE media tree of the architecture
  std::wstring baseImage;          // winpe.wim of the architecture
  std::wstring media;              // {work}\media
  std::wstring bootImage;          // {work}\media\sources\boot.wim
  std::wstring mountDir;           // {work}\mount
  std::wstring fwfiles;            // {work}\fwfiles
  std::wstring bootbins;           // {work}\bootbins
};

WinPEBuildPaths MakeWinPEBuildPaths(const std::wstring& adkRoot, int32_t architecture,
                                    const std::wstring& workDir,
                                    const std::wstring& systemFolder = {});

// The clean-up of a build that was killed: the images DISM holds mounted (their output names
// each mount folder), then DISM's clean-up of mount points it can no longer service.
std::wstring MountedImagesCommand(const WinPEBuildPaths& paths);
std::wstring CleanupMountpointsCommand(const WinPEBuildPaths& paths);
// True when a line of MountedImagesCommand's output ends with `mountDir` (letter case aside).
bool MountListNamesFolder(const std::vector<std::wstring>& lines, const std::wstring& mountDir);
std::wstring RemoveWorkDirCommand(const WinPEBuildPaths& paths);
std::wstring StageMediaCommand(const WinPEBuildPaths& paths);
std::wstring MountImageCommand(const WinPEBuildPaths& paths);
enum class UnmountAction { kCommit, kDiscard };
std::wstring UnmountImageCommand(const WinPEBuildPaths& paths, UnmountAction action);
// `drive` is "E:" and stays unquoted.
std::wstring MakeUsbMediaCommand(const WinPEBuildPaths& paths, const std::wstring& drive);
std::wstring BootSectorCommand(const WinPEBuildPaths& paths, const std::wstring& drive);
std::wstring MakeIsoMediaCommand(const WinPEBuildPaths& paths, const std::wstring& isoPath);
// Two El Torito entries without emulation (platform 0 BIOS, platform EF UEFI) on UDF 1.02.
std::wstring HybridIsoCommand(const WinPEBuildPaths& paths, const std::wstring& biosBootFile,
                              const std::wstring& uefiBootFile, const std::wstring& isoPath);

}  // namespace tvde
