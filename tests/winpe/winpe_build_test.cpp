// The media build under Wine against the fake ADK: the exact command sequence and log of every
// output mode, the x86 set-up, each failure, and what lands in the mounted image.
#include "winpe/winpe_build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "fake_winpe_machine.h"
#include "winpe/image_contents.h"
#include "winpe/image_customisation.h"

namespace tvde {
namespace {

using testing::FakeAdk;
using testing::FakeWinPEMachine;

const std::wstring kReg =
    L"[silent] reg.exe add \"HKLM\\TVDE_PESOFT\\Microsoft\\Windows NT\\CurrentVersion\\";
const std::wstring kEnv =
    L"call \"{adk}\\Deployment Tools\\DandISetEnv.bat\" && MakeWinPEMedia.cmd ";
const std::wstring kDiscard = L"[silent] dism.exe /Unmount-Image /MountDir:\"{mount}\" /Discard";
// An x64 build on the full fake ADK from the start to the commit.
const std::vector<std::wstring> kX64Commands = {
    L"[silent] dism.exe /Cleanup-Wim >nul 2>&1",
    L"[silent] rmdir /s /q \"{work}\" 2>nul",
    L"xcopy /herky \"{pe}\\amd64\\Media\" \"{work}\\media\\\"",
    L"dism.exe /Mount-Image /ImageFile:\"{work}\\media\\sources\\boot.wim\" /Index:1 /MountDir:\"{mount}\"",
    L"dism.exe /Image:\"{mount}\" /Add-Package /PackagePath:\"{pe}\\amd64\\WinPE_OCs\\WinPE-FontSupport-JA-JP.cab\"",
    L"dism.exe /Image:\"{mount}\" /Add-Package /PackagePath:\"{pe}\\amd64\\WinPE_OCs\\ja-jp\\lp.cab\"",
    L"dism.exe /Image:\"{mount}\" /Set-AllIntl:ja-JP",
    L"dism.exe /Image:\"{mount}\" /Set-LayeredDriver:6",
    L"[silent] reg.exe load HKLM\\TVDE_PESOFT \"{mount}\\Windows\\System32\\config\\SOFTWARE\"",
    kReg +
        L"Fonts\" /v \"MS Gothic & MS PGothic & MS UI Gothic (TrueType)\" /t REG_SZ /d \"msgothic.ttc\" /f",
    kReg +
        L"Fonts\" /v \"Yu Gothic Medium & Yu Gothic UI Regular (TrueType)\" /t REG_SZ /d \"YuGothM.ttc\" /f",
    kReg +
        L"FontLink\\SystemLink\" /v \"Segoe UI\" /t REG_MULTI_SZ /d \"msgothic.ttc,MS UI Gothic\" /f",
    kReg +
        L"FontLink\\SystemLink\" /v \"Tahoma\" /t REG_MULTI_SZ /d \"msgothic.ttc,MS UI Gothic\" /f",
    kReg +
        L"FontLink\\SystemLink\" /v \"Microsoft Sans Serif\" /t REG_MULTI_SZ /d \"msgothic.ttc,MS UI Gothic\" /f",
    kReg +
        L"FontLink\\SystemLink\" /v \"Consolas\" /t REG_MULTI_SZ /d \"msgothic.ttc,MS Gothic\" /f",
    L"[silent] reg.exe unload HKLM\\TVDE_PESOFT",
    L"dism.exe /Unmount-Image /MountDir:\"{mount}\" /Commit"};
const std::vector<std::wstring> kX64Log = {
    L"[WINPE BUILD] 作業ディレクトリを初期化しています (amd64): {work}",
    L"[WINPE BUILD] Step 1/5: amd64 WinPE ベース環境とブートファイル群をステージング中...",
    L"[HYBRID BOOT] CSM (Legacy BIOS: etfsboot.com / bootmgr) および UEFI ブートローダを配置しました。",
    L"[WINPE BUILD] Step 2/5: DISM で boot.wim (amd64) をマウントしています...",
    L"[WINPE BUILD] Step 3/5: 日本語ロケール・日本語フォントの組み込みとアプリ自動起動設定を実行中...",
    L"[WINPE x64 DLL] 64-bit 動的ライブラリ同梱: vcruntime140.dll",
    L"[WINPE x64 DLL] システム動的ライブラリ同梱: msvcp140.dll",
    L"[WINPE x64 DLL] システム動的ライブラリ同梱: ucrtbase.dll",
    L"[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...",
    L"[JA-JP LOCALE] ja-jp\\lp.cab (日本語言語パック) を適用中...",
    L"[JA-JP FONTS] WinPE レジストリへ日本語フォント (MS UI Gothic / Yu Gothic UI) と FontLink を登録中...",
    L"[WINPE BUILD] Step 4/5: DISM で変更をコミットしイメージをアンマウント中..."};

std::vector<std::wstring> Joined(std::vector<std::wstring> head,
                                 const std::vector<std::wstring>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

TEST(WinPEBuild, EachOutputModeRunsItsOwnLastStep) {
  const std::wstring oscdimg =
      L"\"{adk}\\Deployment Tools\\amd64\\Oscdimg\\oscdimg.exe\" -m -o -u2 -udfver102 -bootdata:2#p0,e,b\"{work}\\fwfiles\\etfsboot.com\"#pEF,e,b\"{work}\\fwfiles\\";
  const std::wstring hybrid = oscdimg + L"efisys_noprompt.bin\" \"{work}\\media\" \"{iso}\"";
  const std::wstring makeIso = kEnv + L"/ISO \"{work}\" \"{iso}\"";
  const std::wstring ufd = kEnv + L"/UFD /F \"{work}\" F:";
  const std::wstring bootsect =
      L"\"{adk}\\Deployment Tools\\amd64\\BCDBoot\\bootsect.exe\" /nt60 F: /force /mbr";
  const std::wstring isoStep =
      L"[WINPE BUILD] Step 5/5: 日本語対応・UEFI + CSM (Legacy BIOS) ハイブリッドISO ({iso}) を作成中...";
  const std::wstring hybridDone =
      L"[SUCCESS] 日本語ロケール組込済・UEFI + CSM (Legacy BIOS) 両対応 WinPE ISO (amd64) の作成が完了しました！";
  const std::wstring isoDone =
      L"[SUCCESS] 日本語対応 Toreval Disk Eraser 自動起動WinPE ISO (amd64) の作成が完了しました！";
  const std::wstring usbStep =
      L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (F:) を作成中...";
  const std::wstring csm =
      L"[CSM/BIOS BOOT] bootsect.exe /nt60 /mbr で CSM (Legacy BIOS) ブートレコードをUSBへ書き込んでいます...";
  const std::wstring usbDone =
      L"[SUCCESS] 日本語対応 Toreval Disk Eraser 自動起動WinPE USBメモリ (amd64) の作成が完了しました！";
  const struct {
    int32_t mode, uefiOnly;
    std::wstring removed, failing;
    std::vector<std::wstring> commands, log;  // after the commit
    std::string iso;                          // the ISO file's content
  } cases[] = {
      {kWinPEOutputIso, 0, L"", L"", {hybrid}, {isoStep, hybridDone}, "oscdimg.exe image"},
      {kWinPEOutputIso,
       0,
       L"{adk}\\Deployment Tools\\amd64\\Oscdimg\\efisys_noprompt.bin",
       L"",
       {oscdimg + L"efisys.bin\" \"{work}\\media\" \"{iso}\""},
       {isoStep, hybridDone},
       "oscdimg.exe image"},
      {kWinPEOutputIso, 1, L"", L"", {makeIso}, {isoStep, isoDone}, "makewinpemedia.cmd image"},
      {kWinPEOutputIso,
       0,
       L"",
       L"oscdimg",
       {hybrid, makeIso},
       {isoStep, L"  oscdimg.exe failed", isoDone},
       "makewinpemedia.cmd image"},
      {kWinPEOutputUsb, 0, L"", L"", {ufd, bootsect}, {usbStep, csm, usbDone}, ""},
      {kWinPEOutputUsb, 1, L"", L"", {ufd}, {usbStep, usbDone}, ""},
      {kWinPEOutputUsb,
       0,
       L"{adk}\\Deployment Tools\\amd64\\BCDBoot\\bootsect.exe",
       L"",
       {ufd},
       {usbStep, usbDone},
       ""},
      {5,
       0,
       L"",
       L"",
       {},
       {L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (amd64) の作成が完了しました: {work}\\media"},
       ""},
  };
  for (const auto& c : cases) {
    FakeWinPEMachine m;
    if (!c.removed.empty()) m.Remove(c.removed);
    if (!c.failing.empty()) m.FailToolsMatching(c.failing);
    const std::string name = WideToUtf8(c.log.back());
    EXPECT_EQ(m.Build(m.Request(c.mode, c.uefiOnly)), 0) << name;
    EXPECT_EQ(m.commands, m.Xs(Joined(kX64Commands, c.commands))) << name;
    EXPECT_EQ(m.log, m.Xs(Joined(kX64Log, c.log))) << name;
    EXPECT_EQ(m.Read(L"{iso}"), c.iso) << name;
    EXPECT_EQ(m.opened, m.Xs(c.mode == 5 ? std::vector<std::wstring>{L"{work}\\media"}
                                         : std::vector<std::wstring>{}))
        << name;
  }
}

TEST(WinPEBuild, ImageHoldsProgramRuntimeFontsAndStartupFiles) {
  FakeWinPEMachine m;
  m.Write(L"{work}\\left over\\stale.txt|from the last build");
  ASSERT_EQ(m.Build(m.Request(kWinPEOutputIso)), 0);
  EXPECT_FALSE(m.Exists(L"{work}\\left over"));
  const std::wstring program = L"{mount}\\Program Files\\Toreval Disk Eraser\\";
  std::string image;  // what landed where, as "name=content" lines
  for (const wchar_t* file :
       {L"TorevalDiskEraser.exe", L"vcruntime140.dll", L"msvcp140.dll", L"ucrtbase.dll",
        L"concrt140.dll", L"Fonts\\msgothic.ttc", L"Fonts\\YuGothM.ttc", L"Fonts\\YuGothB.ttc",
        L"Fonts\\meiryo.ttc", L"..\\..\\Windows\\Fonts\\meiryo.ttc", L"..\\..\\..\\media\\bootmgr",
        L"..\\..\\..\\media\\EFI\\Boot\\bootx64.efi", L"..\\..\\..\\fwfiles\\efisys_EX.bin",
        L"..\\..\\..\\bootbins\\etfsboot.com"}) {
    image += WideToUtf8(file) + "=" + m.Read(program + file) + ";";
  }
  EXPECT_EQ(
      image,
      "TorevalDiskEraser.exe=x64 program;vcruntime140.dll=beside;msvcp140.dll=system;"
      "ucrtbase.dll=system;concrt140.dll=;Fonts\\msgothic.ttc=font 1;Fonts\\YuGothM.ttc=font 2;"
      "Fonts\\YuGothB.ttc=font 3;Fonts\\meiryo.ttc=font 4;..\\..\\Windows\\Fonts\\meiryo.ttc=font 4;"
      "..\\..\\..\\media\\bootmgr=amd64 bootmgr;..\\..\\..\\media\\EFI\\Boot\\bootx64.efi=efi;"
      "..\\..\\..\\fwfiles\\efisys_EX.bin=efisys_EX.bin;..\\..\\..\\bootbins\\etfsboot.com=etfsboot.com;");
  // The image brought a longer startnet.cmd of its own: it is replaced, not overwritten in part.
  EXPECT_EQ(m.Read(L"{mount}\\Windows\\System32\\winpeshl.ini"), ShellStartupFileText());
  EXPECT_EQ(m.Read(L"{mount}\\Windows\\System32\\startnet.cmd"), CommandStartupFileText());
  // The tools got their arguments whole: '#', '&' and blanks inside quotes survive cmd.exe.
  const std::vector<std::string> calls = m.ToolCalls();
  for (
      const std::wstring& call :
      {std::wstring(
           L"reg.exe add \"HKLM\\TVDE_PESOFT\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\" /v \"MS Gothic & MS PGothic & MS UI Gothic (TrueType)\" /t REG_SZ /d \"msgothic.ttc\" /f"),
       std::wstring(
           L"oscdimg.exe -m -o -u2 -udfver102 -bootdata:2#p0,e,b\"{work}\\fwfiles\\etfsboot.com\"#pEF,e,b\"{work}\\fwfiles\\efisys_noprompt.bin\" \"{work}\\media\" \"{iso}\"")}) {
    EXPECT_NE(std::find(calls.begin(), calls.end(), WideToUtf8(m.X(call))), calls.end())
        << WideToUtf8(call);
  }
}

TEST(WinPEBuild, X86BuildSetsUpTheWin10PEFirstAndInstalls32BitFiles) {
  FakeWinPEMachine m;  // x64 only
  m.Write(L"{root}\\Program Dir\\TorevalDiskEraser_x86.exe|x86 program");
  m.Write(L"{root}\\Program Dir\\x86\\vcruntime140.dll|x86");
  m.Remove(L"{root}\\Fonts\\meiryo.ttc");
  WinPEBuildRequest request;  // the media-creation button's: default working directory
  request.outputMode = kWinPEOutputFolder;
  request.architecture = kWinPEArchitectureX86;
  ASSERT_EQ(m.Build(request), 0);
  // The acquisition's seven commands (add-on download and install, layout, two extractions, two
  // copies) come first; the acquisition tests fix them.
  ASSERT_EQ(m.commands.size(), 13u);
  EXPECT_EQ(
      std::vector<std::string>(m.commands.begin() + 7, m.commands.end()),
      m.Xs(
          {L"[silent] dism.exe /Cleanup-Wim >nul 2>&1",
           L"[silent] rmdir /s /q \"{temp}\\Toreval_WinPE_x86\" 2>nul",
           L"xcopy /herky \"{pe}\\x86\\Media\" \"{temp}\\Toreval_WinPE_x86\\media\\\"",
           L"dism.exe /Mount-Image /ImageFile:\"{temp}\\Toreval_WinPE_x86\\media\\sources\\boot.wim\" /Index:1 /MountDir:\"{temp}\\Toreval_WinPE_x86\\mount\"",
           L"dism.exe /Image:\"{temp}\\Toreval_WinPE_x86\\mount\" /Add-Package /PackagePath:\"{pe}\\x86\\WinPE_OCs\\WinPE-FontSupport-JA-JP.cab\"",
           L"dism.exe /Unmount-Image /MountDir:\"{temp}\\Toreval_WinPE_x86\\mount\" /Commit"}));
  EXPECT_EQ(
      m.log,
      m.Xs(
          {L"[AUTO SETUP] x86 (32-bit) Win10 PE コンポーネントが未展開のため、自動展開を実行します...",
           L"[ADK INSTALLER] Windows 10 ADK + WinPE Add-on (x86 32bit & x64 64bit / CSM & UEFI両対応) を導入しています...",
           L"[WIN10 x86 PE] 既存ADK環境へ Windows 10 x86 (32-bit) WinPE コンポーネントをサイドバイサイド展開しています...",
           L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！",
           L"[WINPE BUILD] 作業ディレクトリを初期化しています (x86): {temp}\\Toreval_WinPE_x86",
           L"[WINPE BUILD] Step 1/5: x86 WinPE ベース環境とブートファイル群をステージング中...",
           L"[HYBRID BOOT] CSM (Legacy BIOS: etfsboot.com / bootmgr) および UEFI ブートローダを配置しました。",
           L"[WINPE BUILD] Step 2/5: DISM で boot.wim (x86) をマウントしています...",
           L"[WINPE BUILD] Step 3/5: 日本語ロケール・日本語フォントの組み込みとアプリ自動起動設定を実行中...",
           L"[WINPE x86] 32-bit ネイティブ実行ファイル (TorevalDiskEraser_x86.exe) を組み込みます。",
           L"[WINPE x86 DLL] 32-bit 動的ライブラリ同梱: vcruntime140.dll",
           L"[WINPE x86 DLL] SysWOW64 32-bit 動的ライブラリ同梱: concrt140.dll",
           L"[WINPE x86 DLL] SysWOW64 32-bit 動的ライブラリ同梱: ucrtbase.dll",
           L"[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...",
           L"[WINPE BUILD] Step 4/5: DISM で変更をコミットしイメージをアンマウント中...",
           L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (x86) の作成が完了しました: {temp}\\Toreval_WinPE_x86\\media"}));
  const std::wstring mount = L"{temp}\\Toreval_WinPE_x86\\mount";
  EXPECT_EQ(m.Read(mount + L"\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe"),
            "x86 program");
  EXPECT_EQ(m.Read(L"{temp}\\Toreval_WinPE_x86\\media\\bootmgr"), "x86 bootmgr");
  EXPECT_TRUE(m.Exists(mount + L"\\Windows\\Fonts\\YuGothB.ttc"));
  EXPECT_FALSE(m.Exists(mount + L"\\Windows\\Fonts\\meiryo.ttc"));
}

TEST(WinPEBuild, EachFailureStopsWithItsErrorLine) {
  const std::wstring usbStep =
      L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (F:) を作成中...";
  const std::wstring herky = kX64Commands[2];
  const struct {
    std::wstring failing = L"", removed = L"";  // tool records that fail, a file taken away
    int32_t mode = kWinPEOutputIso, uefiOnly = 0, architecture = 0;
    std::wstring usbTarget = L"", certificateFolder = L"";
    std::wstring lastCommand = L"";      // empty: nothing was run
    std::vector<std::wstring> log = {};  // in this order, the last one ending the log
    std::wstring programPath = L"";
    std::function<bool(const std::wstring&)> removable = nullptr;
  } cases[] = {
      {.removed = L"{pe}\\copype.cmd",
       .log =
           {L"[ERROR] Windows ADK および WinPE Add-on が見つかりません。先に導入を実行してください。"}},
      {.failing = L"msiexec",
       .architecture = kWinPEArchitectureX86,
       .lastCommand =
           L"xcopy /E /I /Y \"{dl}\\extracted_win10pe\\Windows Kits\\10\\Assessment and Deployment Kit\\Windows Preinstallation Environment\\x86\" \"{pe}\\x86\"",
       .log =
           {L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！",
            L"[ERROR] x86 (32-bit) Win10 PE イメージが見つかりません。「Win10 ADK + PE Add-on 導入」を実行してください。"}},
      {.failing = L"/herky",
       .lastCommand = herky,
       .log = {L"  xcopy.exe failed",
               L"[ERROR] WinPE Media フォルダのステージングに失敗しました。"}},
      {.removed = L"{pe}\\amd64\\en-us\\winpe.wim",
       .lastCommand = herky,
       .log = {L"[ERROR] winpe.wim のコピーに失敗しました: {pe}\\amd64\\en-us\\winpe.wim"}},
      {.failing = L"/Mount-Image",
       .lastCommand = kX64Commands[3],
       .log =
           {L"  dism.exe failed",
            L"[ERROR] boot.wim のマウントに失敗しました。管理者権限で実行しているか確認してください。"}},
      {.failing = L"/Commit",
       .lastCommand = kDiscard,
       .log = {L"  dism.exe failed", L"[ERROR] DISM アンマウント・コミットに失敗しました。"}},
      {.removed = L"{root}\\Program Dir\\TorevalDiskEraser.exe",
       .lastCommand = kDiscard,
       .log =
           {L"[ERROR] プログラム本体をイメージへコピーできませんでした: {mount}\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe",
            kX64Log[10]}},
      {.failing = L"/UFD",
       .mode = kWinPEOutputUsb,
       .lastCommand = kEnv + L"/UFD /F \"{work}\" F:",
       .log = {usbStep, L"  makewinpemedia.cmd failed",
               L"[ERROR] MakeWinPEMedia (/UFD) の実行に失敗しました。"}},
      {.failing = L"/ISO",
       .uefiOnly = 1,
       .lastCommand = kEnv + L"/ISO \"{work}\" \"{iso}\"",
       .log = {L"  makewinpemedia.cmd failed", L"[ERROR] ISOイメージの作成に失敗しました。"}},
      {.mode = kWinPEOutputUsb,
       .usbTarget = L"(リムーバブルUSB未検出 - ISO出力推奨)",
       .log = {L"[ERROR] 有効なリムーバブルUSBドライブが選択されていません。"}},
      {.mode = kWinPEOutputUsb,
       .log =
           {L"[ERROR] 対象USBドライブ (F:) は実行中のプログラムがあるドライブのため、フォーマットを中止しました。"},
       .programPath = L"f:\\TorevalDiskEraser.exe"},
      {.mode = kWinPEOutputUsb,
       .certificateFolder = L"\\\\?\\F:\\Logs",
       .log =
           {L"[ERROR] 対象USBドライブ (F:) は証明書・監査ログの保存先ドライブのため、フォーマットを中止しました。"}},
      {.mode = kWinPEOutputUsb,
       .lastCommand = kX64Commands.back(),
       .log =
           {usbStep,
            L"[ERROR] 対象USBドライブ (F:) がリムーバブルドライブとして見つからないため、フォーマットを中止しました。"},
       .removable = [calls = 0](const std::wstring&) mutable { return ++calls == 1; }},  // pulled
  };
  for (const auto& c : cases) {
    FakeWinPEMachine m;
    if (!c.failing.empty()) m.FailToolsMatching(c.failing);
    if (!c.removed.empty()) m.Remove(c.removed);
    if (!c.programPath.empty()) m.host.programPath = c.programPath;
    if (c.removable) m.host.isRemovableDrive = c.removable;
    WinPEBuildRequest request = m.Request(c.mode, c.uefiOnly);
    request.architecture = c.architecture;
    if (!c.usbTarget.empty()) request.usbTarget = c.usbTarget;
    if (!c.certificateFolder.empty()) request.certificateFolder = c.certificateFolder;
    const std::string name = WideToUtf8(c.log.back());
    EXPECT_EQ(m.Build(request), 1) << name;
    EXPECT_EQ(m.commands.empty() ? "" : m.commands.back(), WideToUtf8(m.X(c.lastCommand))) << name;
    EXPECT_EQ(m.Exists(L"{work}"), !c.lastCommand.empty() && request.architecture == 0) << name;
    EXPECT_EQ(m.log.empty() ? "" : m.log.back(), WideToUtf8(m.X(c.log.back()))) << name;
    auto from = m.log.begin();
    for (const std::string& line : m.Xs(c.log)) {
      from = std::find(from, m.log.end(), line);
      EXPECT_NE(from, m.log.end()) << name << ": " << line;
    }
    EXPECT_FALSE(m.Exists(L"{iso}")) << name;
  }
}

TEST(WinPEImage, X86ProgramFallsBackToTheRunningOneAndStartupFilesMustBeWritten) {
  for (const bool inFolder : {true, false}) {
    FakeWinPEMachine m;
    if (inFolder) m.Write(L"{root}\\Program Dir\\x86\\TorevalDiskEraser.exe|x86 folder");
    m.Write(L"{mount}\\Windows\\System32\\.keep|");
    EXPECT_TRUE(CustomiseWinPEImage(m.X(L"{adk}"), m.X(L"{mount}"), kWinPEArchitectureX86, m.Log(),
                                    m.host));
    EXPECT_EQ(m.Read(L"{mount}\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe"),
              inFolder ? "x86 folder" : "x64 program");
    EXPECT_EQ(m.log.front(), "[WINPE x86 DLL] SysWOW64 32-bit 動的ライブラリ同梱: concrt140.dll");
  }
  FakeWinPEMachine m;  // a mount folder without Windows\System32
  m.Write(L"{mount}\\.keep|");
  EXPECT_FALSE(CustomiseWinPEImage(m.X(L"{adk}"), m.X(L"{mount}"), 0, m.Log(), m.host));
  EXPECT_EQ(
      std::vector<std::string>(m.log.end() - 2, m.log.end()),
      m.Xs(
          {L"[ERROR] 自動起動ファイルを書き込めませんでした: {mount}\\Windows\\System32\\winpeshl.ini",
           L"[ERROR] 自動起動ファイルを書き込めませんでした: {mount}\\Windows\\System32\\startnet.cmd"}));
}

}  // namespace
}  // namespace tvde
