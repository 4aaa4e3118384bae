#pragma once
// Paths and command lines of the WinPE media build.

#include <cstdint>
#include <string>
#include <string_view>

namespace tvde {

inline constexpr int32_t kWinPEArchitectureX86 = 1;  // any other value builds x64

// The ADK's folder name of an architecture: "x86" for 1, else "amd64".
std::wstring WinPEArchitectureName(int32_t architecture);

// {temp}Toreval_WinPE_{arch}; the temporary folder ends in a backslash.
std::wstring DefaultWinPEWorkDir(const std::wstring& tempFolder, int32_t architecture);

struct WinPEBuildPaths {
  std::wstring adkRoot;
  std::wstring arch;               // "x86" or "amd64"
  std::wstring work;               // working directory
  std::wstring environmentScript;  // DandISetEnv.bat
  std::wstring isoTool;            // oscdimg.exe (the amd64 host tool for every build)
  std::wstring bootSectorTool;     // bootsect.exe (likewise)
  std::wstring firmwareFiles;      // where the El Torito and EFI boot images live
  std::wstring mediaSource;        // the WinPE media tree of the architecture
  std::wstring baseImage;          // winpe.wim of the architecture
  std::wstring media;              // {work}\media
  std::wstring bootImage;          // {work}\media\sources\boot.wim
  std::wstring mountDir;           // {work}\mount
  std::wstring fwfiles;            // {work}\fwfiles
  std::wstring bootbins;           // {work}\bootbins
};

WinPEBuildPaths MakeWinPEBuildPaths(const std::wstring& adkRoot, int32_t architecture,
                                    const std::wstring& workDir);

// Clears DISM's stale mounts; all output discarded.
inline constexpr std::wstring_view kDismCleanupCommand = L"dism.exe /Cleanup-Wim >nul 2>&1";

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
