// BuildWinPEMedia: preconditions, staging, mount, customisation, commit and the output step.
#include <windows.h>

#include <vector>

#include "base/file_system.h"
#include "winpe/adk_acquisition.h"
#include "winpe/adk_layout.h"
#include "winpe/image_contents.h"
#include "winpe/image_customisation.h"
#include "winpe/media_program.h"
#include "winpe/usb_target.h"
#include "winpe/winpe_build.h"
#include "winpe/winpe_build_commands.h"

namespace tvde {
namespace {

constexpr int32_t kBuilt = 0;
constexpr int32_t kFailed = 1;

// Firmware boot images, in copy order.
constexpr std::wstring_view kFirmwareBootFiles[] = {
    L"etfsboot.com",           L"efisys.bin", L"efisys_noprompt.bin", L"efisys_EX.bin",
    L"efisys_noprompt_EX.bin",
};

class MediaBuild {
 public:
  MediaBuild(const WinPEBuildRequest& request, LogCallback log, const WinPEHost& host)
      : request_(request), log_(std::move(log)), host_(host) {}

  int32_t Run() {
    if (!CheckPreconditions() || !ClearWorkDirectory()) return kFailed;
    if (!Stage() || !Mount()) return kFailed;
    if (!CustomiseAndCommit()) return kFailed;
    return WriteOutput();
  }

 private:
  bool CheckPreconditions() {
    const int32_t status = AdkStatusAt(AdkRoot(), host_.fileVersion);
    if (status == kAdkVersionMismatch) {
      Log(L"[ERROR] Windows ADK (DISM " + host_.fileVersion(AdkVersionFile(AdkRoot())) +
          L") と WinPE Add-on (" + host_.fileVersion(WinPEAddonVersionFile(AdkRoot())) +
          L") のバージョンが一致しません。同じバージョンの ADK と WinPE Add-on を導入してください。");
      return false;
    }
    if (status != kAdkReady) {
      Log(L"[ERROR] Windows ADK および WinPE Add-on が見つかりません。先に導入を実行してください。");
      return false;
    }
    // A wrong USB target is refused before minutes of image work, and again before formatting.
    if (request_.outputMode == kWinPEOutputUsb && !UsbTargetStillSafe()) return false;
    // Media whose WinPE cannot start the program would boot into a restart loop.
    program_ = ChooseMediaProgram(request_.architecture, host_.programPath);
    if (!program_.suitable) {
      Log(MediaProgramRefusalLogLine(request_.architecture, program_));
      return false;
    }
    if (request_.architecture == kWinPEArchitectureX86 && !HasX86WinPEAt(AdkRoot())) {
      Log(L"[AUTO SETUP] x86 (32-bit) Win10 PE コンポーネントが未展開のため、自動展開を実行します...");
      AcquireAdk(kAdkChoiceWin10, L"", log_, host_);
      if (!HasX86WinPEAt(AdkRoot())) {
        Log(L"[ERROR] x86 (32-bit) Win10 PE イメージが見つかりません。「Win10 ADK + PE Add-on 導入」を実行してください。");
        return false;
      }
    }
    if (!PathExists(AdkDismPath(AdkRoot()))) {
      Log(L"[ERROR] Windows ADK の DISM が見つかりません: " + AdkDismPath(AdkRoot()));
      return false;
    }
    return true;
  }

  // A build that was killed leaves the image's registry hive loaded and the image mounted. An
  // rmdir would then delete files inside the mounted image and the new boot.wim could not
  // replace the mounted one, so both are undone first, in this order (a loaded hive keeps the
  // image busy), before the folder goes.
  bool ClearWorkDirectory() {
    const std::wstring work = request_.workDir.empty()
                                  ? DefaultWinPEWorkDir(host_.tempFolder, request_.architecture)
                                  : request_.workDir;
    paths_ = MakeWinPEBuildPaths(AdkRoot(), request_.architecture, work, host_.systemFolder);
    Log(L"[WINPE BUILD] 作業ディレクトリを初期化しています (" + paths_.arch + L"): " + paths_.work);
    if (host_.runCommand(QueryHiveCommand(host_.systemFolder), {}) == 0) {
      Log(L"[WINPE CLEANUP] 前回のビルドで読み込まれたままのレジストリハイブ " +
          std::wstring(kHiveMountKey) + L" をアンロードしています...");
      host_.runCommand(UnloadHiveCommand(host_.systemFolder), log_);
    }
    std::vector<std::wstring> mounted;
    host_.runCommand(MountedImagesCommand(paths_),
                     [&mounted](const std::wstring& line) { mounted.push_back(line); });
    if (MountListNamesFolder(mounted, paths_.mountDir)) {
      Log(L"[WINPE CLEANUP] マウントされたままのイメージを破棄してアンマウントしています: " +
          paths_.mountDir);
      host_.runCommand(UnmountImageCommand(paths_, UnmountAction::kDiscard), log_);
    }
    Log(L"[WINPE CLEANUP] DISM の使われていないマウントポイントを整理しています...");
    host_.runCommand(CleanupMountpointsCommand(paths_), {});
    Log(L"[WINPE CLEANUP] 前回の作業ディレクトリを削除しています: " + paths_.work);
    host_.runCommand(RemoveWorkDirCommand(paths_), {});
    if (PathExists(paths_.work)) {
      Log(L"[ERROR] 前回の作業ディレクトリを削除できませんでした (イメージがマウントされたままの可能性があります): " +
          paths_.work);
      return false;
    }
    return true;
  }

  bool Stage() {
    Log(L"[WINPE BUILD] Step 1/5: " + paths_.arch +
        L" WinPE ベース環境とブートファイル群をステージング中...");
    for (const std::wstring& folder : {paths_.work, paths_.media, paths_.media + L"\\sources",
                                       paths_.mountDir, paths_.bootbins, paths_.fwfiles}) {
      CreateDirectoryW(folder.c_str(), nullptr);  // may exist; a real problem fails below
    }
    if (host_.runCommand(StageMediaCommand(paths_), log_) != 0) {
      Log(L"[ERROR] WinPE Media フォルダのステージングに失敗しました。");
      return false;
    }
    if (!CopyFileReplacing(paths_.baseImage, paths_.bootImage)) {
      Log(L"[ERROR] winpe.wim のコピーに失敗しました: " + paths_.baseImage);
      return false;
    }
    StageBootFiles(paths_.adkRoot, paths_.work, request_.architecture, log_);
    return true;
  }

  bool Mount() {
    Log(L"[WINPE BUILD] Step 2/5: DISM で boot.wim (" + paths_.arch + L") をマウントしています...");
    if (host_.runCommand(MountImageCommand(paths_), log_) != 0) {
      Log(L"[ERROR] boot.wim のマウントに失敗しました。管理者権限で実行しているか確認してください。");
      return false;
    }
    return true;
  }

  bool CustomiseAndCommit() {
    Log(L"[WINPE BUILD] Step 3/5: 日本語ロケール・日本語フォントの組み込みとアプリ自動起動設定を実行中...");
    if (!CustomiseWinPEImage(paths_.adkRoot, paths_.mountDir, request_.architecture, program_, log_,
                             host_)) {
      // Media without the program or its start-up files would boot into a bare WinPE.
      host_.runCommand(UnmountImageCommand(paths_, UnmountAction::kDiscard), {});
      return false;
    }
    Log(L"[WINPE BUILD] Step 4/5: DISM で変更をコミットしイメージをアンマウント中...");
    if (host_.runCommand(UnmountImageCommand(paths_, UnmountAction::kCommit), log_) != 0) {
      host_.runCommand(UnmountImageCommand(paths_, UnmountAction::kDiscard), {});
      Log(L"[ERROR] DISM アンマウント・コミットに失敗しました。");
      return false;
    }
    return true;
  }

  int32_t WriteOutput() {
    if (request_.outputMode == kWinPEOutputUsb) return WriteUsb();
    if (request_.outputMode == kWinPEOutputIso) return WriteIso();
    Log(L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (" + paths_.arch +
        L") の作成が完了しました: " + paths_.media);
    if (host_.openFolder) host_.openFolder(paths_.media);
    return kBuilt;
  }

  int32_t WriteUsb() {
    const std::wstring drive = request_.usbTarget.substr(0, 2);
    Log(L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (" + drive +
        L") を作成中...");
    if (!UsbTargetStillSafe()) return kFailed;
    if (host_.runCommand(MakeUsbMediaCommand(paths_, drive), log_) != 0) {
      Log(L"[ERROR] MakeWinPEMedia (/UFD) の実行に失敗しました。");
      return kFailed;
    }
    if (request_.uefiOnly == 0 && PathExists(paths_.bootSectorTool)) {
      Log(L"[CSM/BIOS BOOT] bootsect.exe /nt60 /mbr で CSM (Legacy BIOS) ブートレコードをUSBへ書き込んでいます...");
      host_.runCommand(BootSectorCommand(paths_, drive), log_);
    }
    Log(L"[SUCCESS] 日本語対応 Toreval Disk Eraser 自動起動WinPE USBメモリ (" + paths_.arch +
        L") の作成が完了しました！");
    return kBuilt;
  }

  int32_t WriteIso() {
    Log(L"[WINPE BUILD] Step 5/5: 日本語対応・UEFI + CSM (Legacy BIOS) ハイブリッドISO (" +
        request_.isoPath + L") を作成中...");
    const std::wstring biosBoot = paths_.fwfiles + L"\\etfsboot.com";
    const std::wstring noPrompt = paths_.fwfiles + L"\\efisys_noprompt.bin";
    const std::wstring uefiBoot =
        PathExists(noPrompt) ? noPrompt : paths_.fwfiles + L"\\efisys.bin";
    const bool hybrid = request_.uefiOnly == 0 && PathExists(paths_.isoTool) &&
                        PathExists(biosBoot) && PathExists(uefiBoot);
    // A failing mastering tool falls back to the ADK's own ISO script.
    if (hybrid && host_.runCommand(HybridIsoCommand(paths_, biosBoot, uefiBoot, request_.isoPath),
                                   log_) == 0) {
      Log(L"[SUCCESS] 日本語ロケール組込済・UEFI + CSM (Legacy BIOS) 両対応 WinPE ISO (" +
          paths_.arch + L") の作成が完了しました！");
      return kBuilt;
    }
    if (host_.runCommand(MakeIsoMediaCommand(paths_, request_.isoPath), log_) != 0) {
      Log(L"[ERROR] ISOイメージの作成に失敗しました。");
      return kFailed;
    }
    Log(L"[SUCCESS] 日本語対応 Toreval Disk Eraser 自動起動WinPE ISO (" + paths_.arch +
        L") の作成が完了しました！");
    return kBuilt;
  }

  // The drive list was read when the window was refreshed; the stick may have been pulled or
  // another drive may carry its letter now.
  bool UsbTargetStillSafe() {
    const UsbTargetCheck check = CheckUsbTarget(request_.usbTarget, host_.isRemovableDrive,
                                                host_.programPath, request_.certificateFolder);
    if (check.problem == UsbTargetProblem::kNone) return true;
    Log(UsbTargetRefusalText(check));
    return false;
  }

  std::wstring AdkRoot() const { return ResolveAdkRoot(host_.adkRootCandidates); }
  void Log(const std::wstring& line) { EmitLog(log_, line); }

  const WinPEBuildRequest& request_;
  LogCallback log_;
  const WinPEHost& host_;
  WinPEBuildPaths paths_;
  MediaProgram program_;
};

}  // namespace

int32_t BuildWinPEMedia(const WinPEBuildRequest& request, LogCallback log, const WinPEHost& host) {
  return MediaBuild(request, std::move(log), host).Run();
}

void StageBootFiles(const std::wstring& adkRoot, const std::wstring& workDir, int32_t architecture,
                    LogCallback log) {
  const WinPEBuildPaths paths = MakeWinPEBuildPaths(adkRoot, architecture, workDir);
  CreateDirectoryW(paths.fwfiles.c_str(), nullptr);
  CreateDirectoryW(paths.bootbins.c_str(), nullptr);
  for (const std::wstring_view name : kFirmwareBootFiles) {
    const std::wstring from = paths.firmwareFiles + L"\\" + std::wstring(name);
    if (!PathExists(from)) continue;
    CopyFileReplacing(from, paths.fwfiles + L"\\" + std::wstring(name));
    CopyFileReplacing(from, paths.bootbins + L"\\" + std::wstring(name));
  }
  const std::wstring bootmgr = paths.media + L"\\bootmgr";
  if (!PathExists(bootmgr)) {
    const std::wstring own = paths.mediaSource + L"\\bootmgr";
    CopyFileReplacing(
        PathExists(own) ? own
                        : adkRoot + L"\\Windows Preinstallation Environment\\amd64\\Media\\bootmgr",
        bootmgr);
  }
  EmitLog(
      log,
      L"[HYBRID BOOT] CSM (Legacy BIOS: etfsboot.com / bootmgr) および UEFI ブートローダを配置しました。");
}

}  // namespace tvde
