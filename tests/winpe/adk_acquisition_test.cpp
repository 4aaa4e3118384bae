// ADK detection and acquisition under Wine: the fake installers, msiexec, winget and curl create
// what the real ones would, so every route runs to its end through cmd.exe.
#include "winpe/adk_acquisition.h"

#include <gtest/gtest.h>

#include "fake_winpe_machine.h"
#include "winpe/adk_layout.h"

namespace tvde {
namespace {

using testing::FakeAdk;
using testing::FakeWinPEMachine;

TEST(AdkDetection, FollowsTheFilesOfEitherInstallFolder) {
  FakeWinPEMachine m(FakeAdk::kNone);
  const std::vector<std::wstring> roots = {m.X(L"{root}\\PF86\\Kit"), m.X(L"{root}\\PF\\Kit")};
  const auto label = [&roots] {
    const std::wstring root = ResolveAdkRoot(roots);
    return WideToUtf8((root == roots[0] ? L"first " : L"second ") +
                      AdkStatusLabelText(AdkStatusAt(root), HasX86WinPEAt(root)));
  };
  EXPECT_EQ(label(), "first ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能");
  m.Write(roots[1] + L"\\Deployment Tools\\DandISetEnv.bat", "");
  EXPECT_EQ(label(), "second ADK状態: [要追加] WinPE Add-on が未導入です");
  testing::fs::create_directories(roots[1] + L"\\Windows Preinstallation Environment\\copype.cmd");
  EXPECT_EQ(label(), "second ADK状態: [OK] x64 導入済 (x86 32bitは下のWin10 ADK導入で追加可)");
  m.Write(roots[1] + L"\\Windows Preinstallation Environment\\x86\\en-us\\winpe.wim", "");
  EXPECT_EQ(label(), "second ADK状態: [OK] x64 + x86(32bit Win10 PE) + 日本語ロケール 完全対応");
  EXPECT_EQ(WideToUtf8(DefaultAdkRootCandidates()[0] + L"|" + DefaultAdkRootCandidates()[1]),
            "C:\\Program Files (x86)\\Windows Kits\\10\\Assessment and Deployment Kit|"
            "C:\\Program Files\\Windows Kits\\10\\Assessment and Deployment Kit");
}

const std::wstring kCurl = L"curl.exe -L \"https://go.microsoft.com/fwlink/?linkid=";
const std::wstring kWin10Start =
    L"[ADK INSTALLER] Windows 10 ADK + WinPE Add-on (x86 32bit & x64 64bit / CSM & UEFI両対応) を導入しています...";
const std::wstring kX86Start =
    L"[WIN10 x86 PE] 既存ADK環境へ Windows 10 x86 (32-bit) WinPE コンポーネントをサイドバイサイド展開しています...";
const std::wstring kWin10Done =
    L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！";
const std::wstring kWingetStart =
    L"[ADK INSTALLER] Windows 11 ADK + WinPE Add-on の自動導入を開始します...";
const std::wstring kWingetDone =
    L"[ADK INSTALLER] Windows ADK および WinPE Add-on の導入が確認されました！";
const std::wstring kWinget[] = {
    L"winget install --id Microsoft.WindowsADK -e --accept-package-agreements --accept-source-agreements",
    L"winget install --id Microsoft.WindowsADK.WinPEAddon -e --accept-package-agreements --accept-source-agreements"};
const std::wstring kRefused =
    L"[ERROR] デジタル署名を検証できないため、このインストーラーは実行しません: {dl}";
// The Windows 10 route on an empty machine.
const std::wstring kWin10[] = {
    kCurl + L"2120254\" -o \"{dl}\\adksetup_win10.exe\"",
    L"\"{dl}\\adksetup_win10.exe\" /quiet /norestart /features OptionId.DeploymentTools",
    kCurl + L"2120253\" -o \"{dl}\\adkwinpesetup_win10.exe\"",
    L"\"{dl}\\adkwinpesetup_win10.exe\" /quiet /norestart /features OptionId.WindowsPreinstallationEnvironment",
    L"\"{dl}\\adkwinpesetup_win10.exe\" /layout \"{dl}\\layout_win10pe\" /quiet",
    L"msiexec.exe /a \"{dl}\\layout_win10pe\\Installers\\Windows PE x86 x64-x86_en-us.msi\" /qn TARGETDIR=\"{dl}\\extracted_win10pe\"",
    L"msiexec.exe /a \"{dl}\\layout_win10pe\\Installers\\Windows PE x86 x64 wims-x86_en-us.msi\" /qn TARGETDIR=\"{dl}\\extracted_win10pe\"",
    L"xcopy /E /I /Y \"{dl}\\extracted_win10pe\\Windows Kits\\10\\Assessment and Deployment Kit\\Windows Preinstallation Environment\\x86\" \"{pe}\\x86\"",
    L"xcopy /E /I /Y \"{dl}\\extracted_win10pe\\Windows Kits\\10\\Assessment and Deployment Kit\\Deployment Tools\\x86\" \"{adk}\\Deployment Tools\\x86\""};

TEST(AdkAcquisition, EachRouteRunsItsCommandsAndEndsByTheAdkStatus) {
  const struct {
    const char* name;
    FakeAdk installed;
    int32_t choice;
    std::wstring failing;  // tool records that fail
    bool signatures;
    int32_t result;
    std::vector<std::wstring> commands, log;  // the package manager's two commands follow
                                              // whenever its route runs
  } cases[] = {
      {"Win10 on an empty machine",
       FakeAdk::kNone,
       kAdkChoiceWin10,
       L"",
       true,
       0,
       {std::begin(kWin10), std::end(kWin10)},
       {kWin10Start, kX86Start, kWin10Done}},
      {"Win10 with the ADK and x86 WinPE present",
       FakeAdk::kX64AndX86,
       7,
       L"",
       true,
       0,
       {kWin10[2], kWin10[3]},
       {kWin10Start, kWin10Done}},
      {"Win10 add-on failing, winget helps",
       FakeAdk::kNone,
       kAdkChoiceWin10,
       L"OptionId.WindowsPreinstallationEnvironment",
       true,
       0,
       {std::begin(kWin10), std::end(kWin10)},
       {kWin10Start, L"  adkwinpesetup_win10.exe failed", kX86Start, kWingetStart, kWingetDone}},
      {"Win11", FakeAdk::kNone, kAdkChoiceWin11, L"", true, 0, {}, {kWingetStart, kWingetDone}},
      {"Win11, winget failing",
       FakeAdk::kNone,
       kAdkChoiceWin11,
       L"winget",
       true,
       1,
       {},
       {kWingetStart, L"  winget.exe failed", L"  winget.exe failed"}},
      {"Win10 with unsigned installers",
       FakeAdk::kNone,
       kAdkChoiceWin10,
       L"",
       false,
       0,
       {kWin10[0], kWin10[2], kWin10[7]},
       {kWin10Start, kRefused + L"\\adksetup_win10.exe", kRefused + L"\\adkwinpesetup_win10.exe",
        kX86Start, kRefused + L"\\adkwinpesetup_win10.exe",
        kRefused + L"\\layout_win10pe\\Installers\\Windows PE x86 x64-x86_en-us.msi",
        kRefused + L"\\layout_win10pe\\Installers\\Windows PE x86 x64 wims-x86_en-us.msi",
        L"  File not found - {dl}\\extracted_win10pe\\Windows Kits\\10\\Assessment and Deployment Kit\\Windows Preinstallation Environment\\x86",
        kWingetStart, kWingetDone}},
  };
  for (const auto& c : cases) {
    FakeWinPEMachine m(c.installed);
    if (!c.failing.empty()) m.FailToolsMatching(c.failing);
    if (!c.signatures) m.host.verifyInstaller = [](const std::wstring&) { return false; };
    EXPECT_EQ(AcquireAdk(c.choice, L"", m.Log(), m.host), c.result) << c.name;
    std::vector<std::wstring> commands = c.commands;
    if (c.log.back() == kWingetDone || c.log.back() == L"  winget.exe failed") {
      commands.insert(commands.end(), std::begin(kWinget), std::end(kWinget));
    }
    EXPECT_EQ(m.commands, m.Xs(commands)) << c.name;
    EXPECT_EQ(m.log, m.Xs(c.log)) << c.name;
    EXPECT_EQ(AdkStatusAt(m.X(L"{adk}")) == kAdkReady, c.result == 0) << c.name;
  }
}

TEST(AdkAcquisition, Win10RouteRunsTheDownloadedInstallersAndAddsX86WinPE) {
  FakeWinPEMachine m(FakeAdk::kNone);
  ASSERT_EQ(AcquireAdk(kAdkChoiceWin10, L"", m.Log(), m.host), 0);
  EXPECT_TRUE(HasX86WinPEAt(m.X(L"{adk}")));
  EXPECT_TRUE(m.Exists(L"{adk}\\Deployment Tools\\x86\\DISM\\dism.exe"));
  const std::vector<std::string> calls = m.ToolCalls();
  ASSERT_EQ(calls.size(), 9u);
  EXPECT_EQ(calls[1], "adksetup_win10.exe /quiet /norestart /features OptionId.DeploymentTools");
  EXPECT_EQ(calls[4],
            WideToUtf8(m.X(L"adkwinpesetup_win10.exe /layout \"{dl}\\layout_win10pe\" /quiet")));
}

TEST(AdkAcquisition, DownloadOnlySavesTheInstallersEvenWhenDownloadsFail) {
  FakeWinPEMachine m(FakeAdk::kNone);
  const std::wstring folder = m.X(L"{root}\\out put\\ADK_Installers");
  for (const bool failing : {false, true}) {
    if (failing) m.FailToolsMatching(L"curl.exe");
    m.commands.clear(), m.log.clear(), m.opened.clear();
    EXPECT_EQ(AcquireAdk(kAdkChoiceDownloadOnly, folder, m.Log(), m.host), 0);
    EXPECT_EQ(m.commands,
              m.Xs({kCurl + L"2120254\" -o \"" + folder + L"\\adksetup_win10_x86_x64.exe\"",
                    kCurl + L"2120253\" -o \"" + folder + L"\\adkwinpesetup_win10_x86_x64.exe\"",
                    kCurl + L"2271337\" -o \"" + folder + L"\\adksetup_win11.exe\"",
                    kCurl + L"2271338\" -o \"" + folder + L"\\adkwinpesetup_win11.exe\""}));
    EXPECT_EQ(m.log.size(), failing ? 6u : 2u);
    EXPECT_EQ(
        m.log.front(),
        WideToUtf8(
            L"[ADK DOWNLOADER] Windows 10 ADK (x86/x64対応) & Windows 11 ADK 公式インストーラーを保存しています: " +
            folder));
    EXPECT_EQ(m.log.back(),
              "[ADK DOWNLOADER] 公式インストーラー一式のダウンロードが完了しました！");
    EXPECT_EQ(m.opened, std::vector<std::string>{WideToUtf8(folder)});
  }
  EXPECT_TRUE(m.Exists(folder + L"\\adkwinpesetup_win11.exe"));
}

TEST(InstallerSignature, TheSystemCheckRefusesUnsignedAndMissingFiles) {
  const WinPEHost host = DefaultWinPEHost();
  EXPECT_FALSE(host.verifyInstaller(ProgramDirectory() + L"\\tvde_fake_tool.exe"));
  EXPECT_FALSE(host.verifyInstaller(ProgramDirectory() + L"\\no_such_installer.exe"));
}

}  // namespace
}  // namespace tvde
