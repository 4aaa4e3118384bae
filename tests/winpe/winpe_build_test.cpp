// The media build under Wine against the fake ADK: the exact command sequence and log of every
// output mode, the x86 set-up, each failure, and what lands in the mounted image.
#include "winpe/winpe_build.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "fake_winpe_machine.h"
#include "winpe/image_contents.h"
#include "winpe/image_customisation.h"
#include "winpe/media_program.h"

namespace tvde {
namespace {

using testing::FakeWinPEMachine;

const std::wstring kStage = LR"("{sys}\xcopy.exe" /herky "{pe}\amd64\Media" "{work}\media\")";
const std::wstring kMount =
    LR"("{dism}" /Mount-Image /ImageFile:"{work}\media\sources\boot.wim" /Index:1 /MountDir:"{mount}")";
const std::wstring kCommit = LR"("{dism}" /Unmount-Image /MountDir:"{mount}" /Commit)";
const std::wstring kDiscard = LR"([silent] "{dism}" /Unmount-Image /MountDir:"{mount}" /Discard)";
// The clean-up at the start of every build, on a machine where nothing is left to undo.
const std::wstring kCleanup =
    LR"~([silent] "{sys}\reg.exe" query HKLM\TVDE_PESOFT
"{dism}" /Get-MountedImageInfo
[silent] "{dism}" /Cleanup-Mountpoints
[silent] rmdir /s /q "{work}" 2>nul
)~";
const std::wstring kEnv =
    LR"(call "{adk}\Deployment Tools\DandISetEnv.bat" && MakeWinPEMedia.cmd )";
// An x64 build on the full fake ADK from the start to the commit.
const std::wstring kX64Commands = kCleanup + kStage + L"\n" + kMount +
                                  LR"~(
"{dism}" /Image:"{mount}" /Add-Package /PackagePath:"{pe}\amd64\WinPE_OCs\WinPE-FontSupport-JA-JP.cab"
"{dism}" /Image:"{mount}" /Add-Package /PackagePath:"{pe}\amd64\WinPE_OCs\ja-jp\lp.cab"
"{dism}" /Image:"{mount}" /Set-AllIntl:ja-JP
"{dism}" /Image:"{mount}" /Set-LayeredDriver:6
[silent] "{sys}\reg.exe" load HKLM\TVDE_PESOFT "{mount}\Windows\System32\config\SOFTWARE"
[silent] "{sys}\reg.exe" add "HKLM\TVDE_PESOFT\Microsoft\Windows NT\CurrentVersion\Fonts" /v "MS Gothic & MS PGothic & MS UI Gothic (TrueType)" /t REG_SZ /d "msgothic.ttc" /f
[silent] "{sys}\reg.exe" add "HKLM\TVDE_PESOFT\Microsoft\Windows NT\CurrentVersion\Fonts" /v "Yu Gothic Medium & Yu Gothic UI Regular (TrueType)" /t REG_SZ /d "YuGothM.ttc" /f
[silent] "{sys}\reg.exe" add "HKLM\TVDE_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v "Segoe UI" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f
[silent] "{sys}\reg.exe" add "HKLM\TVDE_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v "Tahoma" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f
[silent] "{sys}\reg.exe" add "HKLM\TVDE_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v "Microsoft Sans Serif" /t REG_MULTI_SZ /d "msgothic.ttc,MS UI Gothic" /f
[silent] "{sys}\reg.exe" add "HKLM\TVDE_PESOFT\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink" /v "Consolas" /t REG_MULTI_SZ /d "msgothic.ttc,MS Gothic" /f
[silent] "{sys}\reg.exe" unload HKLM\TVDE_PESOFT
)~" + kCommit + L"\n";
const std::wstring kCleanupLog =
    LR"([WINPE BUILD] 作業ディレクトリを初期化しています (amd64): {work}
[WINPE CLEANUP] DISM の使われていないマウントポイントを整理しています...
[WINPE CLEANUP] 前回の作業ディレクトリを削除しています: {work}
)";
const std::wstring kX64Log =
    kCleanupLog +
    LR"([WINPE BUILD] Step 1/5: amd64 WinPE ベース環境とブートファイル群をステージング中...
[HYBRID BOOT] CSM (Legacy BIOS: etfsboot.com / bootmgr) および UEFI ブートローダを配置しました。
[WINPE BUILD] Step 2/5: DISM で boot.wim (amd64) をマウントしています...
[WINPE BUILD] Step 3/5: 日本語ロケール・日本語フォントの組み込みとアプリ自動起動設定を実行中...
[WINPE x64 DLL] 64-bit 動的ライブラリ同梱: vcruntime140.dll
[WINPE x64 DLL] システム動的ライブラリ同梱: msvcp140.dll
[WINPE x64 DLL] システム動的ライブラリ同梱: ucrtbase.dll
[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...
[JA-JP LOCALE] ja-jp\lp.cab (日本語言語パック) を適用中...
[JA-JP FONTS] WinPE レジストリへ日本語フォント (MS UI Gothic / Yu Gothic UI) と FontLink を登録中...
[WINPE BUILD] Step 4/5: DISM で変更をコミットしイメージをアンマウント中...
)";
const std::wstring kUsbStep =
    L"[WINPE BUILD] Step 5/5: UEFI + CSM (Legacy BIOS) 両対応ブータブルUSB (F:) を作成中...\n";

TEST(WinPEBuild, EachOutputModeRunsItsOwnLastStep) {
  const std::wstring oscdimg =
      LR"("{adk}\Deployment Tools\amd64\Oscdimg\oscdimg.exe" -m -o -u2 -udfver102 -bootdata:2#p0,e,b"{work}\fwfiles\etfsboot.com"#pEF,e,b"{work}\fwfiles\)";
  const std::wstring hybrid = oscdimg + LR"(efisys_noprompt.bin" "{work}\media" "{iso}")" + L"\n";
  const std::wstring makeIso = kEnv + LR"(/ISO "{work}" "{iso}")";
  const std::wstring ufd = kEnv + LR"(/UFD /F "{work}" F:)" + L"\n";
  const std::wstring isoStep =
      L"[WINPE BUILD] Step 5/5: 日本語対応・UEFI + CSM (Legacy BIOS) ハイブリッドISO ({iso}) を作成中...\n";
  const std::wstring hybridDone =
      L"[SUCCESS] 日本語ロケール組込済・UEFI + CSM (Legacy BIOS) 両対応 WinPE ISO (amd64) の作成が完了しました！";
  const std::wstring isoDone =
      L"[SUCCESS] 日本語対応 Toreval Disk Eraser 自動起動WinPE ISO (amd64) の作成が完了しました！";
  const std::wstring csm =
      L"[CSM/BIOS BOOT] bootsect.exe /nt60 /mbr で CSM (Legacy BIOS) ブートレコードをUSBへ書き込んでいます...\n";
  const std::wstring usbDone =
      L"[SUCCESS] 日本語対応 Toreval Disk Eraser 自動起動WinPE USBメモリ (amd64) の作成が完了しました！";
  const std::wstring noPrompt = L"{adk}\\Deployment Tools\\amd64\\Oscdimg\\efisys_noprompt.bin";
  const std::wstring bootsect = L"{adk}\\Deployment Tools\\amd64\\BCDBoot\\bootsect.exe";
  const std::wstring folderDone =
      L"[SUCCESS] 日本語対応 WinPEメディアフォルダ (amd64) の作成が完了しました: {work}\\media";
  // clang-format off
  const struct {
    int32_t mode, uefiOnly;
    std::wstring removed, failing, commands, log;  // after the commit
    std::string iso;                               // the ISO file's content
  } cases[] = {
      {kWinPEOutputIso, 0, L"", L"", hybrid, isoStep + hybridDone, "oscdimg.exe image"},
      {kWinPEOutputIso, 0, noPrompt, L"", oscdimg + LR"(efisys.bin" "{work}\media" "{iso}")",
       isoStep + hybridDone, "oscdimg.exe image"},
      {kWinPEOutputIso, 1, L"", L"", makeIso, isoStep + isoDone, "makewinpemedia.cmd image"},
      {kWinPEOutputIso, 0, L"", L"oscdimg", hybrid + makeIso,
       isoStep + L"  oscdimg.exe failed\n" + isoDone, "makewinpemedia.cmd image"},
      {kWinPEOutputUsb, 0, L"", L"", ufd + L"\"" + bootsect + L"\" /nt60 F: /force /mbr",
       kUsbStep + csm + usbDone, ""},
      {kWinPEOutputUsb, 1, L"", L"", ufd, kUsbStep + usbDone, ""},
      {kWinPEOutputUsb, 0, bootsect, L"", ufd, kUsbStep + usbDone, ""},
      {5, 0, L"", L"", L"", folderDone, ""},  // any other mode: the media folder
  };
  // clang-format on
  for (const auto& c : cases) {
    FakeWinPEMachine m;
    if (!c.removed.empty()) m.Remove(c.removed);
    if (!c.failing.empty()) m.FailToolsMatching(c.failing);
    SCOPED_TRACE(WideToUtf8(c.log));
    EXPECT_EQ(m.Build(m.Request(c.mode, c.uefiOnly)), 0);
    EXPECT_EQ(m.commands, m.Lines(kX64Commands + c.commands));
    EXPECT_EQ(m.log, m.Lines(kX64Log + c.log));
    EXPECT_EQ(m.Read(L"{iso}"), c.iso);
    EXPECT_EQ(m.opened, m.Lines(c.mode == 5 ? L"{work}\\media" : L""));
  }
}

// After a build killed with its image mounted and hive loaded, the next one undoes both before it
// removes the folder (EachFailure: when it cannot), and its image then holds everything.
TEST(WinPEBuild, AfterAKilledBuildTheImageHoldsProgramRuntimeFontsAndStartupFiles) {
  FakeWinPEMachine m;
  ASSERT_TRUE(m.KillABuildAfterTheMount());
  m.Write(L"{work}\\left over\\stale.txt|from the last build");
  ASSERT_EQ(m.Build(m.Request(kWinPEOutputIso)), 0);
  EXPECT_FALSE(m.Exists(L"{work}\\left over"));
  EXPECT_EQ(std::vector<std::string>(m.commands.begin(), m.commands.begin() + 7), m.Lines(LR"(
[silent] "{sys}\reg.exe" query HKLM\TVDE_PESOFT
"{sys}\reg.exe" unload HKLM\TVDE_PESOFT
"{dism}" /Get-MountedImageInfo
"{dism}" /Unmount-Image /MountDir:"{mount}" /Discard
[silent] "{dism}" /Cleanup-Mountpoints
[silent] rmdir /s /q "{work}" 2>nul)" + (L"\n" + kStage)));
  EXPECT_EQ(std::vector<std::string>(m.log.begin() + 1, m.log.begin() + 3), m.Lines(LR"(
[WINPE CLEANUP] 前回のビルドで読み込まれたままのレジストリハイブ HKLM\TVDE_PESOFT をアンロードしています...
[WINPE CLEANUP] マウントされたままのイメージを破棄してアンマウントしています: {mount})"));
  std::string image;  // what landed where, as "name=content;"
  for (const std::wstring file :
       {L"TorevalDiskEraser.exe", L"vcruntime140.dll", L"msvcp140.dll", L"ucrtbase.dll",
        L"concrt140.dll", L"Fonts\\msgothic.ttc", L"Fonts\\YuGothB.ttc", L"Fonts\\meiryo.ttc"}) {
    image += WideToUtf8(file) + "=" +
             m.Read(L"{mount}\\Program Files\\Toreval Disk Eraser\\" + file) + ";";
  }
  for (const std::wstring file :
       {L"mount\\Windows\\Fonts\\YuGothM.ttc", L"media\\bootmgr", L"media\\EFI\\Boot\\bootx64.efi",
        L"fwfiles\\efisys_EX.bin", L"bootbins\\etfsboot.com"}) {
    image += WideToUtf8(file) + "=" + m.Read(L"{work}\\" + file) + ";";
  }
  EXPECT_EQ(image,
            "TorevalDiskEraser.exe=" + FakeWinPEMachine::Program(kPeMachineAmd64, "x64 program") +
                ";vcruntime140.dll=beside;msvcp140.dll=system;"
                "ucrtbase.dll=system;concrt140.dll=;Fonts\\msgothic.ttc=font 1;"
                "Fonts\\YuGothB.ttc=font 3;Fonts\\meiryo.ttc=font 4;"
                "mount\\Windows\\Fonts\\YuGothM.ttc=font 2;media\\bootmgr=amd64 bootmgr;"
                "media\\EFI\\Boot\\bootx64.efi=efi;fwfiles\\efisys_EX.bin=efisys_EX.bin;"
                "bootbins\\etfsboot.com=etfsboot.com;");
  // The image brought a longer startnet.cmd of its own: it is replaced, not overwritten in part.
  EXPECT_EQ(m.Read(L"{mount}\\Windows\\System32\\winpeshl.ini"), ShellStartupFileText());
  EXPECT_EQ(m.Read(L"{mount}\\Windows\\System32\\startnet.cmd"), CommandStartupFileText());
}

TEST(WinPEBuild, X86BuildSetsUpTheWin10PEFirstAndInstalls32BitFiles) {
  FakeWinPEMachine m;  // x64 only
  m.Write(L"{root}\\Program Dir\\x86\\vcruntime140.dll|x86");
  m.Remove(L"{root}\\Fonts\\meiryo.ttc");
  WinPEBuildRequest request;  // the media-creation button's: default working directory
  request.outputMode = kWinPEOutputFolder;
  request.architecture = kWinPEArchitectureX86;
  ASSERT_EQ(m.Build(request), 0);
  ASSERT_EQ(m.commands.size(), 15u);
  EXPECT_EQ(m.commands[10],
            WideToUtf8(m.X(LR"([silent] rmdir /s /q "{temp}\Toreval_WinPE_x86" 2>nul)")));
  EXPECT_EQ(std::vector<std::string>(m.commands.begin() + 11, m.commands.end()), m.Lines(LR"(
"{sys}\xcopy.exe" /herky "{pe}\x86\Media" "{temp}\Toreval_WinPE_x86\media\"
"{dism}" /Mount-Image /ImageFile:"{temp}\Toreval_WinPE_x86\media\sources\boot.wim" /Index:1 /MountDir:"{temp}\Toreval_WinPE_x86\mount"
"{dism}" /Image:"{temp}\Toreval_WinPE_x86\mount" /Add-Package /PackagePath:"{pe}\x86\WinPE_OCs\WinPE-FontSupport-JA-JP.cab"
"{dism}" /Unmount-Image /MountDir:"{temp}\Toreval_WinPE_x86\mount" /Commit)"));
  // The acquisition's lines first; the build's lines are the x64 build's, with the 32-bit
  // program and DLLs and without the language pack, which the x86 kit lacks.
  EXPECT_EQ(
      m.log[0],
      "[AUTO SETUP] x86 (32-bit) Win10 PE コンポーネントが未展開のため、自動展開を実行します...");
  EXPECT_EQ(std::vector<std::string>(m.log.end() - 7, m.log.end()), m.Lines(LR"(
[WINPE x86] 32-bit ネイティブ実行ファイル (TorevalDiskEraser_x86.exe) を組み込みます。
[WINPE x86 DLL] 32-bit 動的ライブラリ同梱: vcruntime140.dll
[WINPE x86 DLL] SysWOW64 32-bit 動的ライブラリ同梱: concrt140.dll
[WINPE x86 DLL] SysWOW64 32-bit 動的ライブラリ同梱: ucrtbase.dll
[JA-JP LOCALE] WinPE-FontSupport-JA-JP.cab (日本語フォントサポート) を適用中...
[WINPE BUILD] Step 4/5: DISM で変更をコミットしイメージをアンマウント中...
[SUCCESS] 日本語対応 WinPEメディアフォルダ (x86) の作成が完了しました: {temp}\Toreval_WinPE_x86\media)"));
  const std::wstring work = L"{temp}\\Toreval_WinPE_x86";
  EXPECT_EQ(m.Read(work + L"\\mount\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe"),
            FakeWinPEMachine::Program(kPeMachineI386, "x86"));
  // The x86 kit's own boot manager and IA32 boot image, not the x64 ones.
  EXPECT_EQ(m.Read(work + L"\\media\\bootmgr") + ", " + m.Read(work + L"\\fwfiles\\efisys.bin"),
            "x86 bootmgr, x86 efisys.bin");
  EXPECT_TRUE(m.Exists(work + L"\\mount\\Windows\\Fonts\\YuGothB.ttc"));
  EXPECT_FALSE(m.Exists(work + L"\\mount\\Windows\\Fonts\\meiryo.ttc"));
}

TEST(WinPEBuild, EachFailureStopsWithItsErrorLine) {
  using Arrange = std::function<void(FakeWinPEMachine&, WinPEBuildRequest&)>;
  const struct {
    std::wstring failing, removed;  // tool records that fail, a file taken away
    int32_t mode, uefiOnly, architecture;
    std::wstring lastCommand;  // empty: nothing was run
    std::wstring log;          // in this order, the last one ending the log
    Arrange arrange = nullptr;
  } cases[] = {
      // clang-format off
      {L"", L"{pe}\\copype.cmd", 1, 0, 0, L"",
       L"[ERROR] Windows ADK および WinPE Add-on が見つかりません。先に導入を実行してください。"},
      {L"", L"", 1, 0, 0, L"",
       L"[ERROR] Windows ADK (DISM 10.0.28000.1) と WinPE Add-on (10.0.26100.2454) のバージョンが一致しません。同じバージョンの ADK と WinPE Add-on を導入してください。",
       [](FakeWinPEMachine& m, WinPEBuildRequest&) {
         m.versions = {{m.X(L"{dism}"), L"10.0.28000.1"}, {m.X(L"{pe}\\amd64\\Media\\EFI\\Boot\\bootx64.efi"), L"10.0.26100.2454"}};
       }},
      {L"", L"{root}\\Program Dir\\TorevalDiskEraser_x86.exe", 1, 0, kWinPEArchitectureX86, L"",
       L"[ERROR] x86 (32-bit) WinPE メディアには 32-bit 版の Toreval Disk Eraser が必要です。 本プログラムと同じフォルダに TorevalDiskEraser_x86.exe を置いてから実行してください。 (組み込もうとしたファイル: {root}\\Program Dir\\TorevalDiskEraser.exe - x86-64 (64-bit))"},
      {L"", L"{root}\\Program Dir\\TorevalDiskEraser.exe", 1, 0, 0, L"",
       L"[ERROR] x64 (64-bit) WinPE メディアには 64-bit 版の Toreval Disk Eraser が必要です。 64-bit 版の TorevalDiskEraser.exe から実行してください。 (組み込もうとしたファイル: {root}\\Program Dir\\TorevalDiskEraser.exe - x86 / x64 の実行ファイルではありません)"},
      {L"", L"{dism}", 1, 0, 0, L"", L"[ERROR] Windows ADK の DISM が見つかりません: {dism}"},
      {L"/Discard", L"", 1, 0, 0, L"[silent] rmdir /s /q \"{work}\" 2>nul",
       L"  dism.exe failed\n[ERROR] 前回の作業ディレクトリを削除できませんでした (イメージがマウントされたままの可能性があります): {work}",
       [](FakeWinPEMachine& m, WinPEBuildRequest&) { ASSERT_TRUE(m.KillABuildAfterTheMount()); }},
      {L"msiexec", L"", 1, 0, kWinPEArchitectureX86,
       LR"("{sys}\xcopy.exe" /E /I /Y "{dl}\extracted_win10pe\Windows Kits\10\Assessment and Deployment Kit\Windows Preinstallation Environment\x86" "{pe}\x86")",
       L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！\n"
       L"[ERROR] x86 (32-bit) Win10 PE イメージが見つかりません。「Win10 ADK + PE Add-on 導入」を実行してください。"},
      {L"/herky", L"", 1, 0, 0, kStage,
       L"  xcopy.exe failed\n[ERROR] WinPE Media フォルダのステージングに失敗しました。"},
      {L"", L"{pe}\\amd64\\en-us\\winpe.wim", 1, 0, 0, kStage,
       L"[ERROR] winpe.wim のコピーに失敗しました: {pe}\\amd64\\en-us\\winpe.wim"},
      {L"/Mount-Image", L"", 1, 0, 0, kMount,
       L"  dism.exe failed\n[ERROR] boot.wim のマウントに失敗しました。管理者権限で実行しているか確認してください。"},
      {L"/Commit", L"", 1, 0, 0, kDiscard,
       L"  dism.exe failed\n[ERROR] DISM アンマウント・コミットに失敗しました。"},
      {L"/UFD", L"", 0, 0, 0, kEnv + LR"(/UFD /F "{work}" F:)",
       kUsbStep +
           L"  makewinpemedia.cmd failed\n[ERROR] MakeWinPEMedia (/UFD) の実行に失敗しました。"},
      {L"/ISO", L"", 1, 1, 0, kEnv + LR"(/ISO "{work}" "{iso}")",
       L"  makewinpemedia.cmd failed\n[ERROR] ISOイメージの作成に失敗しました。"},
      {L"", L"", 0, 0, 0, L"", L"[ERROR] 有効なリムーバブルUSBドライブが選択されていません。",
       [](FakeWinPEMachine&, WinPEBuildRequest& r) { r.usbTarget = L"(リムーバブルUSB未検出 - ISO出力推奨)"; }},
      {L"", L"", 0, 0, 0, L"",
       L"[ERROR] 対象USBドライブ (F:) は実行中のプログラムがあるドライブのため、フォーマットを中止しました。",
       [](FakeWinPEMachine& m, WinPEBuildRequest&) { m.host.programPath = L"f:\\TorevalDiskEraser.exe"; }},
      {L"", L"", 0, 0, 0, L"",
       L"[ERROR] 対象USBドライブ (F:) は証明書・監査ログの保存先ドライブのため、フォーマットを中止しました。",
       [](FakeWinPEMachine&, WinPEBuildRequest& r) { r.certificateFolder = L"\\\\?\\F:\\Logs"; }},
      {L"", L"", 0, 0, 0, kCommit,
       kUsbStep +
           L"[ERROR] 対象USBドライブ (F:) がリムーバブルドライブとして見つからないため、フォーマットを中止しました。",
       [](FakeWinPEMachine& m, WinPEBuildRequest&) {  // pulled after the first check
         m.host.isRemovableDrive = [n = 0](const std::wstring&) mutable { return ++n == 1; };
       }},
      // clang-format on
  };
  for (const auto& c : cases) {
    FakeWinPEMachine m;
    if (!c.failing.empty()) m.FailToolsMatching(c.failing);
    if (!c.removed.empty()) m.Remove(c.removed);
    WinPEBuildRequest request = m.Request(c.mode, c.uefiOnly);
    request.architecture = c.architecture;
    if (c.arrange) c.arrange(m, request);
    const std::vector<std::string> log = m.Lines(c.log);
    SCOPED_TRACE(log.back());
    EXPECT_EQ(m.Build(request), 1);
    EXPECT_EQ(m.commands.empty() ? "" : m.commands.back(), WideToUtf8(m.X(c.lastCommand)));
    EXPECT_EQ(m.Exists(L"{work}"), !c.lastCommand.empty() && request.architecture == 0);
    EXPECT_EQ(m.log.empty() ? "" : m.log.back(), log.back());
    auto from = m.log.begin();
    for (const std::string& line : log) {
      from = std::find(from, m.log.end(), line);
      EXPECT_NE(from, m.log.end()) << line;
    }
    EXPECT_FALSE(m.Exists(L"{iso}"));
  }
}

// x86 media take the 32-bit build beside the program (X86Build...), else the one in its x86 folder.
TEST(WinPEImage, ProgramIsOneTheMediaCanStartAndLandsWithTheStartupFiles) {
  FakeWinPEMachine m;  // the 32-bit build in the x86 folder only
  m.Remove(L"{root}\\Program Dir\\TorevalDiskEraser_x86.exe");
  m.WriteProgram(L"{root}\\Program Dir\\x86\\TorevalDiskEraser.exe", kPeMachineI386, "");
  EXPECT_TRUE(ChooseMediaProgram(kWinPEArchitectureX86, m.host.programPath).suitable);
  m.Write(L"{mount}\\.keep|");  // the program gone, a mount folder without Windows\System32
  const MediaProgram gone{m.X(L"{root}\\gone.exe")};
  EXPECT_FALSE(CustomiseWinPEImage(m.X(L"{adk}"), m.X(L"{mount}"), 0, gone, m.Log(), m.host));
  EXPECT_EQ(
      m.log.front(),
      WideToUtf8(m.X(
          L"[ERROR] プログラム本体をイメージへコピーできませんでした: {mount}\\Program Files\\Toreval Disk Eraser\\TorevalDiskEraser.exe")));
  EXPECT_EQ(std::vector<std::string>(m.log.end() - 2, m.log.end()), m.Lines(LR"(
[ERROR] 自動起動ファイルを書き込めませんでした: {mount}\Windows\System32\winpeshl.ini
[ERROR] 自動起動ファイルを書き込めませんでした: {mount}\Windows\System32\startnet.cmd)"));
}

}  // namespace
}  // namespace tvde
