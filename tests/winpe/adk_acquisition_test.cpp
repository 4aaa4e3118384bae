// ADK detection and acquisition under Wine against the fake machine's tools: every route to its
// end.
#include "winpe/adk_acquisition.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "base/host_environment.h"
#include "base/win/win_handle.h"
#include "fake_winpe_machine.h"
#include "winpe/adk_layout.h"

namespace tvde {
namespace {

using testing::FakeAdk;
using testing::FakeWinPEMachine;

TEST(AdkDetection, FollowsTheFilesOfEitherInstallFolder) {
  FakeWinPEMachine m(FakeAdk::kNone);
  const std::vector<std::wstring> roots = {m.X(L"{root}\\PF86 Kit"), m.X(L"{root}\\PF Kit")};
  const auto state = [&roots, &m] {
    const std::wstring root = ResolveAdkRoot(roots);
    return WideToUtf8(
        (root == roots[0] ? L"first " : L"second ") +
        AdkStatusLabelText(AdkStatusAt(root, m.host.fileVersion), HasX86WinPEAt(root)));
  };
  EXPECT_EQ(state(), "first ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能");
  m.Write(L"{root}\\PF Kit\\Deployment Tools\\DandISetEnv.bat|");
  EXPECT_EQ(state(), "second ADK状態: [要追加] WinPE Add-on が未導入です");
  m.Write(L"{root}\\PF Kit\\Windows Preinstallation Environment\\copype.cmd\\folder|");
  EXPECT_EQ(state(), "second ADK状態: [OK] x64 導入済 (x86 32bitは下のWin10 ADK導入で追加可)");
  m.Write(L"{root}\\PF Kit\\Windows Preinstallation Environment\\x86\\en-us\\winpe.wim|");
  EXPECT_EQ(state(), "second ADK状態: [OK] x64 + x86(32bit Win10 PE) + 日本語ロケール 完全対応");
  // The ADK's DISM and the add-on must be of one build.
  m.versions = {{AdkVersionFile(roots[1]), L"10.0.28000.1"},
                {WinPEAddonVersionFile(roots[1]), L"10.0.26100.1"}};
  EXPECT_EQ(
      state(),
      "second ADK状態: [要更新] ADK と WinPE Add-on のバージョンが一致しません (下のボタンから同じ版を導入可能)");
}

const std::wstring kCurl = L"\"{sys}\\curl.exe\" -L \"https://go.microsoft.com/fwlink/?linkid=";
const std::wstring kWin10Start =
    L"[ADK INSTALLER] Windows 10 ADK + WinPE Add-on (x86 32bit & x64 64bit / CSM & UEFI両対応) を導入しています...\n";
const std::wstring kX86Start =
    L"[WIN10 x86 PE] 既存ADK環境へ Windows 10 x86 (32-bit) WinPE コンポーネントをサイドバイサイド展開しています...\n";
const std::wstring kWin10Done =
    L"[ADK INSTALLER] Windows 10 PE (x86 32bit / x64) 環境の準備が完了しました！\n";
const std::wstring kWinget =
    L"[ADK INSTALLER] Windows 11 ADK + WinPE Add-on の自動導入を開始します...\n";
const std::wstring kWingetDone =
    L"[ADK INSTALLER] Windows ADK および WinPE Add-on の導入が確認されました！\n";
const std::wstring kRefused =
    L"[ERROR] デジタル署名を検証できないため、このインストーラーは実行しません: {dl}";
std::wstring NotMicrosoft(const std::wstring& signer) {
  return L"[ERROR] Microsoft の署名ではないため、このインストーラーは実行しません (署名者: " +
         signer + L"): {dl}\\adkwinpesetup_win10.exe\n";
}
const wchar_t* const kMicrosoft = L"Microsoft Corporation";
// Microsoft's name under a root that is not Microsoft's (told apart from kMicrosoft by address).
const wchar_t kMicrosoftNameOnly[] = L"Microsoft Corporation";
// The Windows 10 route on an empty machine, then the package manager's route; one letter each.
const std::wstring kCommands[] = {
    kCurl + LR"(2120254" -o "{dl}\adksetup_win10.exe")",
    LR"("{dl}\adksetup_win10.exe" /quiet /norestart /features OptionId.DeploymentTools)",
    kCurl + LR"(2120253" -o "{dl}\adkwinpesetup_win10.exe")",
    LR"("{dl}\adkwinpesetup_win10.exe" /quiet /norestart /features OptionId.WindowsPreinstallationEnvironment)",
    LR"("{dl}\adkwinpesetup_win10.exe" /layout "{dl}\layout_win10pe" /quiet)",
    LR"("{sys}\msiexec.exe" /a "{dl}\layout_win10pe\Installers\Windows PE x86 x64-x86_en-us.msi" /qn TARGETDIR="{dl}\extracted_win10pe")",
    LR"("{sys}\msiexec.exe" /a "{dl}\layout_win10pe\Installers\Windows PE x86 x64 wims-x86_en-us.msi" /qn TARGETDIR="{dl}\extracted_win10pe")",
    LR"("{sys}\xcopy.exe" /E /I /Y "{dl}\extracted_win10pe\Windows Kits\10\Assessment and Deployment Kit\Windows Preinstallation Environment\x86" "{pe}\x86")",
    LR"("{sys}\xcopy.exe" /E /I /Y "{dl}\extracted_win10pe\Windows Kits\10\Assessment and Deployment Kit\Deployment Tools\x86" "{adk}\Deployment Tools\x86")",
    L"winget install --id Microsoft.WindowsADK -e --version 10.1.28000.1 --accept-package-agreements --accept-source-agreements",
    L"winget install --id Microsoft.WindowsADK.WindowsPEaddon -e --version 10.1.28000.1 --accept-package-agreements --accept-source-agreements",
    kCurl + LR"(2120254" -o "{dl}\adksetup_win10_x86_x64.exe")",
    kCurl + LR"(2120253" -o "{dl}\adkwinpesetup_win10_x86_x64.exe")",
    kCurl + LR"(2271337" -o "{dl}\adksetup_win11.exe")",
    kCurl + LR"(2271338" -o "{dl}\adkwinpesetup_win11.exe")"};

TEST(AdkAcquisition, EachRouteRunsItsCommandsAndEndsByTheAdkStatus) {
  const struct {
    FakeAdk installed;
    int32_t choice;
    std::wstring failing;   // tool records that fail
    const wchar_t* signer;  // of a valid signature; nullptr: a broken one
    int32_t result;
    const char* commands;  // letters a, b, ... for kCommands[0], [1], ...
    std::wstring log;
    std::wstring adkVersion = L"", addonVersion = L"";  // of the installed ADK
  } cases[] = {
      // clang-format off
      {FakeAdk::kNone, kAdkChoiceWin10, L"", kMicrosoft, 0, "abcdefghi",
       kWin10Start + kX86Start + kWin10Done},
      {FakeAdk::kX64AndX86, 7, L"", kMicrosoft, 0, "cd", kWin10Start + kWin10Done},
      {FakeAdk::kNone, kAdkChoiceWin10, L"OptionId.WindowsPreinstallationEnvironment", kMicrosoft,
       0, "abcdefghijk",
       kWin10Start + L"  adkwinpesetup_win10.exe failed\n" + kX86Start + kWinget + kWingetDone},
      {FakeAdk::kNone, kAdkChoiceWin11, L"", kMicrosoft, 0, "jk", kWinget + kWingetDone},
      // Saving the installers ends well and shows the folder even when every download fails.
      {FakeAdk::kNone, kAdkChoiceDownloadOnly, L"curl.exe", kMicrosoft, 0, "lmno",
       L"[ADK DOWNLOADER] Windows 10 ADK (x86/x64対応) & Windows 11 ADK 公式インストーラーを保存しています: {dl}\n  curl.exe failed\n  curl.exe failed\n"
       L"  curl.exe failed\n  curl.exe failed\n[ADK DOWNLOADER] 公式インストーラー一式のダウンロードが完了しました！"},
      {FakeAdk::kNone, kAdkChoiceWin11, L"winget", kMicrosoft, 1, "jk",
       kWinget + L"  winget.exe failed\n  winget.exe failed"},
      // Another publisher's valid signature, or Microsoft's name under another root, is no better
      // than a broken one.
      {FakeAdk::kX64AndX86, kAdkChoiceWin10, L"", L"Contoso Ltd", 0, "c",
       kWin10Start + NotMicrosoft(L"Contoso Ltd") + kWin10Done},
      {FakeAdk::kX64AndX86, kAdkChoiceWin10, L"", kMicrosoftNameOnly, 0, "c",
       kWin10Start + NotMicrosoft(kMicrosoft) + kWin10Done},
      // No Windows 10 add-on over another ADK; the package manager's pair replaces a mismatch.
      {FakeAdk::kX64AndX86, kAdkChoiceWin10, L"", kMicrosoft, 0, "cjk",
       kWin10Start + L"[ADK INSTALLER] 導入済みの ADK (10.0.26100.1) は Windows 10 ADK ではないため、Windows 10 WinPE Add-on はインストールしません。\n" +
           kWinget + kWingetDone,
       L"10.0.26100.1", L"10.0.22621.1"},
      {FakeAdk::kNone, kAdkChoiceWin10, L"", nullptr, 0, "achjk",
       kWin10Start + kRefused + L"\\adksetup_win10.exe\n" + kRefused +
           L"\\adkwinpesetup_win10.exe\n" + kX86Start + kRefused + L"\\adkwinpesetup_win10.exe\n" +
           kRefused + L"\\layout_win10pe\\Installers\\Windows PE x86 x64-x86_en-us.msi\n" +
           kRefused +
           L"\\layout_win10pe\\Installers\\Windows PE x86 x64 wims-x86_en-us.msi\n"
           L"  File not found - {dl}\\extracted_win10pe\\Windows Kits\\10\\Assessment and Deployment Kit\\Windows Preinstallation Environment\\x86\n" +
           kWinget + kWingetDone},
      // clang-format on
  };
  for (const auto& c : cases) {
    FakeWinPEMachine m(c.installed);
    if (!c.failing.empty()) m.FailToolsMatching(c.failing);
    // A Microsoft root only under Microsoft's certificates.
    m.signature = c.signer == nullptr ? InstallerSignature{-2146762496, false, L""}
                                      : InstallerSignature{0, c.signer == kMicrosoft, c.signer};
    m.versions = {{m.X(L"{dism}"), c.adkVersion},
                  {m.X(L"{pe}\\amd64\\Media\\EFI\\Boot\\bootx64.efi"), c.addonVersion}};
    SCOPED_TRACE(c.commands);
    EXPECT_EQ(AcquireAdk(c.choice, L"", m.Log(), m.host), c.result);
    std::wstring commands;
    for (const char* letter = c.commands; *letter != '\0'; ++letter)
      commands += kCommands[*letter - 'a'] + L"\n";
    EXPECT_EQ(m.commands, m.Lines(commands));
    EXPECT_EQ(m.log, m.Lines(c.log));
    EXPECT_EQ(AdkStatusAt(m.X(L"{adk}"), m.host.fileVersion) == kAdkReady,
              c.result == 0 && c.choice != kAdkChoiceDownloadOnly);
    EXPECT_EQ(m.opened, m.Lines(c.choice == kAdkChoiceDownloadOnly ? L"{dl}" : L""));
    // The downloaded installers ran under their own names and left the x86 WinPE behind.
    EXPECT_EQ(HasX86WinPEAt(m.X(L"{adk}")),
              c.installed == FakeAdk::kX64AndX86 || strlen(c.commands) >= 9);
  }
}

// The real checks under Wine: an unsigned program is not trusted; version resources are read.
TEST(WinPEHost, SignatureAndVersionChecksOfTheSystem) {
  const WinPEHost host = DefaultWinPEHost();
  const WinHandle program(CreateFileW(ProgramModulePath().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_NE(host.checkSignature(ProgramModulePath(), program.get()).status, 0);
  const std::wstring version = host.fileVersion(host.systemFolder + L"\\kernel32.dll");
  EXPECT_EQ(std::count(version.begin(), version.end(), L'.'), 3) << WideToUtf8(version);
}

}  // namespace
}  // namespace tvde
