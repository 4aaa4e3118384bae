// The WinPE section of the main window driven in-process: every refusal and question of the two
// buttons, the request handed to the builder, the end of a job, and `busy` shared with the erase.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "app/win_controls.h"
#include "app_harness.h"
#include "support/text_matchers.h"
#include "winpe/fake_winpe_machine.h"
#include "winpe/media_program.h"

namespace tvde {
namespace {

using testing::AppHarness;
using testing::BoxCall;
using testing::U8;

const std::wstring kProduct = L"Toreval Disk Eraser";
const std::wstring kClosingRefused =
    L"WinPE メディア作成 / ADK 導入の処理中は終了できません。完了までお待ちください。";
const std::wstring kRestartRefused =
    L"消去処理または WinPE メディア作成 / ADK 導入の実行中は、管理者権限で再起動できません。\n処理の完了後に実行してください。";
const std::wstring kWinPEError =
    L"WinPE 処理中にエラーが発生しました。監査ログコンソールの出力を確認してください。";

void InstallAdk(const AppHarness& h) {
  const std::wstring pe = h.adkRoot() + L"/Windows Preinstallation Environment/";
  const std::wstring program = h.temp().File("program") + L"/TorevalDiskEraser";
  const std::pair<std::filesystem::path, uint16_t> files[] = {
      {h.adkRoot() + L"/Deployment Tools/DandISetEnv.bat", 0},
      {pe + L"copype.cmd", 0},
      {pe + L"x86/en-us/winpe.wim", 0},
      {program + L".exe", kPeMachineAmd64},
      {program + L"_x86.exe", kPeMachineI386}};
  for (const auto& [file, machine] : files) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << testing::FakeWinPEMachine::Program(machine, "");
  }
}

std::string Box(const std::wstring& title, const std::wstring& text, UINT flags) {
  return U8(title) + " | " + U8(text) + " | " + std::to_string(flags) + "\n";
}
std::string Boxes(const AppHarness& h) {  // every box shown so far, one a line
  std::string all;
  for (const BoxCall& box : h.boxes)
    all += Box(box.title, box.text, box.flags);
  return all;
}

void ExpectIdle(AppHarness& h) {
  EXPECT_EQ(h.app().busy.load(), 0);
  EXPECT_TRUE(IsWindowEnabled(h.app().controls.adkButton));
  EXPECT_TRUE(IsWindowEnabled(h.app().controls.createMedia));
}

// clang-format off
std::string UsbQuestion(const std::wstring& drive, const std::wstring& architecture) {
  return Box(L"WinPE USB作成確認", L"対象USBドライブ (" + drive + L") をフォーマットし、\n「日本語対応・即時起動 WinPE USB (" + architecture +
             L" / UEFI+CSM両対応)」を作成します。\nUSBメモリ内の既存データは消去されます。よろしいですか？", MB_YESNO | MB_ICONWARNING);
}
// clang-format on

// Every refusal and cancel of the media button starts nothing; past them, the build gets the
// choices of the controls. The busy refusal is BusyIsSharedWithTheEraseJob's; the ADK statuses
// are the ADK module's.
TEST(WinPESection, MediaButtonRefusesOrHandsTheChoicesToTheBuildAndShowsItsEnd) {
  const UINT warning = MB_OK | MB_ICONWARNING;
  // clang-format off
  const std::string done = Box(L"WinPE メディア作成完了", L"日本語ロケール＆フォント組込済・即時起動 (winpeshl.ini) ＆ UEFI/CSM(BIOS) 両対応の WinPE メディア作成が完了しました！\n\n作成したメディアからPCをブートすると、文字化けなしで即座に Toreval Disk Eraser が起動します。", MB_OK | MB_ICONINFORMATION);
  // clang-format on
  const std::wstring x86Iso = L"Toreval_Disk_Eraser_WinPE_x86_32bit_JP.iso";
  const std::wstring x64Iso = L"Toreval_Disk_Eraser_WinPE_x64_64bit_JP.iso";
  // clang-format off
  const struct {
    const char* name;
    bool adk;
    int32_t architecture, output, boot, usbIndex, result;
    std::function<void(AppHarness&)> arrange;
    std::string request;  // mode arch uefiOnly usb | iso; empty: no build
    std::string boxes;
    std::wstring isoSuggestion;
  } cases[] = {
      // Refused before the ADK is even looked at.
      {"not administrator", false, 0, 1, 0, 0, 0, [](AppHarness& h) { h.admin = false; }, "",
       Box(kProduct, L"WinPE起動メディアの作成 (DISMイメージマウント) には管理者権限が必要です。\n画面右上の「管理者権限で再起動」ボタンを押してから実行してください。", warning), L""},
      {"no ADK", false, 0, 1, 0, 0, 0, nullptr, "",
       Box(kProduct, L"Windows ADK または WinPE Add-on がまだインストールされていません。\n先に上の「選択した ADK + WinPE Add-on を任意ダウンロード / 導入」を実行してください。", warning), L""},
      {"ADK and add-on of two versions", true, 0, 1, 0, 0, 0,
       [](AppHarness& h) { h.fileVersion = [](const std::wstring& file) {
         return file.ends_with(L"dism.exe") ? std::wstring(L"10.1.28000.1") : std::wstring(L"10.1.26100.1"); }; }, "",
       Box(kProduct, L"Windows ADK と WinPE Add-on のバージョンが一致しません。\n上の「選択した ADK + WinPE Add-on を任意ダウンロード / 導入」で同じバージョンの組を導入してから実行してください。", warning), L""},
      {"no removable drive", true, 0, 0, 0, 0, 0, [](AppHarness& h) { h.removableDrives.clear(); }, "",
       Box(kProduct, L"有効なリムーバブルUSBドライブが選択されていません。", warning), L""},
      {"USB question answered No", true, 1, 0, 0, 0, 0, [](AppHarness& h) { h.answer = [](const BoxCall&) { return IDNO; }; },
       "", UsbQuestion(L"F:", L"x86_32bit"), L""},
      {"ISO dialog cancelled", true, 0, 1, 0, 0, 0, [](AppHarness& h) { h.isoAnswer.clear(); }, "", "", x64Iso},
      {"worker thread refused", true, 0, 1, 0, 0, 0, [](AppHarness& h) { h.threadsFail = true; }, "",
       Box(kProduct, L"WinPE 処理を開始できませんでした (ワーカースレッドを作成できません)。", MB_OK | MB_ICONERROR), x64Iso},
      {"x86 without the 32-bit program", true, 1, 1, 0, 0, 0,
       [](AppHarness& h) { std::filesystem::remove(h.temp().File("program\\TorevalDiskEraser_x86.exe")); }, "",
       Box(kProduct, L"x86 (32-bit) WinPE メディアには 32-bit 版の Toreval Disk Eraser が必要です。\n本プログラムと同じフォルダに TorevalDiskEraser_x86.exe を置いてから実行してください。", warning), L""},
      {"x86 ISO", true, 1, 1, 0, 0, 0, nullptr, "1 1 0  | C:\\out\\pe.iso", done, x86Iso},
      {"UEFI-only x64 ISO", true, 0, 1, 1, 0, 0, nullptr, "1 0 1  | C:\\out\\pe.iso", done, x64Iso},
      {"USB G:", true, 0, 0, 1, 1, 0, nullptr, "0 0 1 G: | ", UsbQuestion(L"G:", L"x64_64bit") + done, L""},
      {"folder, failed", true, 0, 2, 0, 0, 1, nullptr, "2 0 0  | ", Box(kProduct, kWinPEError, MB_OK | MB_ICONERROR), L""},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AppHarness h;
    if (c.adk) InstallAdk(h);
    h.removableDrives = {L"F: [BOOT - 7.50 GB]", L"G: [USB Drive - 14.91 GB]"};
    h.isoAnswer = L"C:\\out\\pe.iso";
    std::vector<WinPEBuildRequest> requests;
    h.buildJob = [&](const WinPEBuildRequest& request, LogCallback log, const WinPEHost& host) {
      requests.push_back(request);
      log(L"[WINPE BUILD] " + host.adkRootCandidates.front());
      return c.result;
    };
    if (c.arrange) c.arrange(h);
    h.Start();
    h.SelectCombo(kIdWinPEArchitecture, c.architecture);
    h.SelectCombo(kIdWinPEOutput, c.output);
    h.SelectCombo(kIdWinPEBoot, c.boot);
    h.SelectCombo(kIdUsbTarget, c.usbIndex);
    h.boxes.clear();
    h.Click(kIdCreateMedia);
    ASSERT_TRUE(h.WaitForIdle());
    EXPECT_EQ(Boxes(h), c.boxes);
    EXPECT_EQ(U8(h.isoSuggestions.empty() ? L"" : h.isoSuggestions[0]), U8(c.isoSuggestion));
    ExpectIdle(h);
    ASSERT_EQ(requests.size(), c.request.empty() ? 0u : 1u);
    if (requests.empty()) continue;
    const WinPEBuildRequest& r = requests[0];
    EXPECT_EQ(std::to_string(r.outputMode) + " " + std::to_string(r.architecture) + " " +
                  std::to_string(r.uefiOnly) + " " + U8(r.usbTarget) + " | " + U8(r.isoPath),
              c.request);
    EXPECT_EQ(U8(r.workDir + L"|" + r.certificateFolder), U8(L"|" + h.certificateFolder()));
    EXPECT_NE(U8(h.ConsoleLines().back()).find("] [WINPE BUILD] " + U8(h.adkRoot())),
              std::string::npos);
  }
}

TEST(WinPESection, AdkButtonAsksThenAcquiresAndRefreshesTheStatusLine) {
  const std::wstring title = L"Windows ADK 任意ダウンロード / 導入";
  const UINT question = MB_YESNO | MB_ICONQUESTION;
  const std::string missing = "ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能";
  const std::string ok = "ADK状態: [OK] x64 + x86(32bit Win10 PE) + 日本語ロケール 完全対応";
  // clang-format off
  const std::string ask = Box(title, L"選択した Windows ADK および WinPE Add-on (x86 32bit / x64 64bit サポート) を自動ダウンロード＆導入しますか？", question);
  const std::string download = Box(title, L"Microsoft 公式サーバーから Windows 10 ADK & PE Add-on (x86/x64対応版) および Windows 11 ADK & PE Add-on のインストーラー一式をダウンロード保存しますか？", question);
  const std::string done = Box(kProduct, L"Windows ADK / WinPE Add-on (x86/x64) のダウンロード・導入処理が完了しました！", MB_OK | MB_ICONINFORMATION);
  const struct {
    int32_t choiceIndex, answer, result;
    std::string job;  // "choice folder"; empty: no job
    std::string boxes, label;
    bool admin = true;
  } cases[] = {
      {0, IDNO, 0, "", ask, missing},
      // The silent installers need elevation; saving the installer files does not.
      {1, IDYES, 0, "", Box(kProduct, L"Windows ADK / WinPE Add-on のインストールには管理者権限が必要です。\n画面右上の「管理者権限で再起動」ボタンを押してから実行してください。", MB_OK | MB_ICONWARNING), missing, false},
      {2, IDYES, 0, "2 ", download + done, ok, false},  // into the certificate folder
      // The status line is read again when the job ends, whatever its result.
      {1, IDYES, 1, "1 ", ask + Box(kProduct, kWinPEError, MB_OK | MB_ICONERROR), ok},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.job);
    AppHarness h;
    h.admin = c.admin;
    h.answer = [&c](const BoxCall&) { return c.answer; };
    std::string job;
    h.adkJob = [&](int32_t choice, const std::wstring& folder, LogCallback, const WinPEHost&) {
      job = std::to_string(choice) + " " + U8(folder);
      InstallAdk(h);
      return c.result;
    };
    h.Start();
    EXPECT_EQ(U8(h.Text(h.app().controls.adkStatusLabel)), missing);
    h.SelectCombo(kIdAdkChoice, c.choiceIndex);
    h.boxes.clear();
    h.Click(kIdAdkButton);
    ASSERT_TRUE(h.WaitForIdle());
    const std::string folder =
        c.choiceIndex == 2 ? U8(h.certificateFolder()) + "\\ADK_Installers" : "";
    EXPECT_EQ(job, c.job.empty() ? "" : c.job + folder);
    EXPECT_EQ(Boxes(h), c.boxes);
    EXPECT_EQ(U8(h.Text(h.app().controls.adkStatusLabel)), c.label);
    ExpectIdle(h);
  }
}

// Either job refuses the other, a restart with administrator rights (which would leave this
// window waiting in the job while a second copy starts) and the end of the session; the machine
// is held awake until the job ends (the erase: AbortClosingAndTheSessionsEndStopTheJob).
TEST(WinPESection, BusyIsSharedWithTheEraseJobAndHoldsTheSession) {
  AppHarness h;
  InstallAdk(h);
  h.disks = {testing::TestDisk(3, h.temp().File("disk.img"), 64ull << 20)};
  h.isoAnswer = L"C:\\out.iso";
  std::atomic<bool> release{false};
  const auto wait = [&release] {
    while (!release.load())
      Sleep(5);
  };
  h.buildJob = [&](const WinPEBuildRequest&, LogCallback, const WinPEHost&) { return wait(), 0; };
  h.job = [&](const EraseJobConfig&, int32_t, const CancelFlag&, const ProgressCallback&,
              const LogCallback&) { return wait(), ReportData{}; };
  h.Start();
  const HWND window = h.app().mainWindow;
  EXPECT_EQ(U8(h.Text(h.app().controls.usbTarget)), "(リムーバブルUSB未検出 - ISO出力推奨)");
  h.removableDrives = {L"E: [USB Drive - 14.91 GB]"};
  h.Click(kIdRescan);  // the USB list is refilled
  EXPECT_EQ(U8(h.Text(h.app().controls.usbTarget)), "E: [USB Drive - 14.91 GB]");
  const std::string busyBox = Box(kProduct, L"現在別の処理が実行中です。", MB_OK | MB_ICONWARNING);
  const std::string held = "awake 80000001|block " + U8(kWinPEBlockReason) + "|";

  // A media build runs: its buttons are grey; the erase, closing and a restart are refused.
  h.Click(kIdCreateMedia);
  EXPECT_EQ(h.app().busy.load(), 1);
  EXPECT_FALSE(IsWindowEnabled(h.app().controls.adkButton) ||
               IsWindowEnabled(h.app().controls.createMedia));
  h.boxes.clear();
  h.Click(kIdStartErase);
  SendMessageW(window, WM_CLOSE, 0, 0);  // the build cannot be left behind
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(kIdRestartAsAdmin, BN_CLICKED), 0);
  EXPECT_EQ(Boxes(h), busyBox + Box(kProduct, kClosingRefused, MB_OK | MB_ICONWARNING) +
                          Box(kProduct, kRestartRefused, MB_OK | MB_ICONWARNING));
  EXPECT_TRUE(h.app().windowAlive && h.elevations == 0 && h.jobsStarted == 0);
  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), FALSE);
  EXPECT_EQ(h.sessionCalls, held);
  release = true;
  ASSERT_TRUE(h.WaitForIdle());
  ExpectIdle(h);
  EXPECT_EQ(h.sessionCalls, held + "unblock|awake 80000000|");
  EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, 0), TRUE);

  // An erase runs: both WinPE buttons are refused.
  release = false;
  h.Click(kIdStartErase);  // the final confirmation is answered Yes
  ASSERT_EQ(h.app().busy.load(), 1);
  int adkJobs = 0;
  h.adkJob = [&adkJobs](int32_t, const std::wstring&, LogCallback, const WinPEHost&) {
    return ++adkJobs, 0;
  };
  h.boxes.clear();
  h.Click(kIdAdkButton);
  h.Click(kIdCreateMedia);
  EXPECT_EQ(Boxes(h), busyBox + busyBox);
  EXPECT_EQ(adkJobs, 0);
  EXPECT_EQ(h.isoSuggestions.size(), 1u);  // only the first build asked for a file
  release = true;
  ASSERT_TRUE(h.WaitForIdle());
}

}  // namespace
}  // namespace tvde
