// The mounted image's program files, Japanese support and start-up files.
#include <windows.h>

#include <string_view>

#include "base/file_system.h"
#include "base/host_environment.h"
#include "base/win/win_handle.h"
#include "winpe/image_contents.h"
#include "winpe/image_customisation.h"
#include "winpe/media_program.h"
#include "winpe/winpe_build_commands.h"

namespace tvde {
namespace {

struct DllSource {
  std::wstring folder;
  std::wstring_view logPrefix;
};

bool WriteStartupFile(const std::wstring& path, std::string_view bytes) {
  WinHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  const BOOL wrote =
      WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return wrote && written == bytes.size();
}

}  // namespace

void InstallAppIntoImage(const std::wstring& programFolder, int32_t architecture, LogCallback log,
                         const WinPEHost& host) {
  const bool x86 = architecture == kWinPEArchitectureX86;
  const std::wstring programDir = DirectoryOfPath(host.programPath);
  const DllSource sources[] = {
      x86 ? DllSource{programDir + L"\\x86", L"[WINPE x86 DLL] 32-bit 動的ライブラリ同梱: "}
          : DllSource{programDir, L"[WINPE x64 DLL] 64-bit 動的ライブラリ同梱: "},
      x86 ? DllSource{host.wow64Folder, L"[WINPE x86 DLL] SysWOW64 32-bit 動的ライブラリ同梱: "}
          : DllSource{host.systemFolder, L"[WINPE x64 DLL] システム動的ライブラリ同梱: "},
  };
  for (const std::wstring_view dll : kRuntimeDlls) {
    for (const DllSource& source : sources) {
      const std::wstring from = source.folder + L"\\" + std::wstring(dll);
      if (!PathExists(from)) continue;
      if (CopyFileReplacing(from, programFolder + L"\\" + std::wstring(dll))) {
        EmitLog(log, std::wstring(source.logPrefix) + std::wstring(dll));
      }
      break;
    }
  }
}

void LocaliseWinPEImage(const std::wstring& adkRoot, const std::wstring& mountDir,
                        const std::wstring& programFolder, int32_t architecture, LogCallback log,
                        const WinPEHost& host) {
  const WinPEImagePaths paths = MakeWinPEImagePaths(adkRoot, mountDir, architecture);
  const std::wstring dism = AdkDismPath(adkRoot);
  if (PathExists(paths.fontSupportPackage)) {
    EmitLog(log,
            L"[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...");
    host.runCommand(AddPackageCommand(dism, mountDir, paths.fontSupportPackage), log);
  }
  if (PathExists(paths.languagePack)) {
    EmitLog(log, L"[JA-JP LOCALE] ja-jp\\lp.cab (日本語言語パック) を適用中...");
    host.runCommand(AddPackageCommand(dism, mountDir, paths.languagePack), log);
    host.runCommand(SetAllIntlCommand(dism, mountDir), log);
    host.runCommand(SetLayeredDriverCommand(dism, mountDir), log);
  }

  const std::wstring programFonts = programFolder + L"\\Fonts";
  CreateDirectoryW(paths.imageFonts.c_str(), nullptr);
  CreateDirectoryW(programFonts.c_str(), nullptr);
  for (const std::wstring_view font : kJapaneseFonts) {
    const std::wstring from = host.fontsFolder + std::wstring(font);
    if (!PathExists(from)) continue;
    CopyFileReplacing(from, paths.imageFonts + L"\\" + std::wstring(font));
    CopyFileReplacing(from, programFonts + L"\\" + std::wstring(font));
  }

  if (!PathExists(paths.softwareHive)) return;
  EmitLog(
      log,
      L"[JA-JP FONTS] WinPE レジストリへ日本語フォント (MS UI Gothic / Yu Gothic UI) と FontLink を登録中...");
  host.runCommand(LoadHiveCommand(host.systemFolder, paths.softwareHive), {});
  for (const ImageRegistryValue& value : kImageRegistryValues) {
    host.runCommand(RegistryAddCommand(host.systemFolder, value), {});
  }
  // Also after a failed load, so that no hive stays loaded under the machine-wide key.
  host.runCommand(UnloadHiveCommand(host.systemFolder), {});
}

bool CustomiseWinPEImage(const std::wstring& adkRoot, const std::wstring& mountDir,
                         int32_t architecture, const MediaProgram& program, const LogCallback& log,
                         const WinPEHost& host) {
  const WinPEImagePaths paths = MakeWinPEImagePaths(adkRoot, mountDir, architecture);
  CreateDirectoryW(paths.programFiles.c_str(), nullptr);
  CreateDirectoryW(paths.programFolder.c_str(), nullptr);
  bool complete = true;
  if (program.source == MediaProgramSource::kX86Beside) {
    EmitLog(
        log,
        L"[WINPE x86] 32-bit ネイティブ実行ファイル (TorevalDiskEraser_x86.exe) を組み込みます。");
  }
  if (!CopyFileReplacing(program.path, paths.programFile)) {
    EmitLog(log, L"[ERROR] プログラム本体をイメージへコピーできませんでした: " + paths.programFile);
    complete = false;
  }
  InstallAppIntoImage(paths.programFolder, architecture, log, host);
  LocaliseWinPEImage(adkRoot, mountDir, paths.programFolder, architecture, log, host);
  for (const auto& [file, text] : {std::pair{paths.shellStartupFile, ShellStartupFileText()},
                                   std::pair{paths.commandStartupFile, CommandStartupFileText()}}) {
    if (!WriteStartupFile(file, text)) {
      EmitLog(log, L"[ERROR] 自動起動ファイルを書き込めませんでした: " + file);
      complete = false;
    }
  }
  return complete;
}

}  // namespace tvde
