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

namespace tvde {
namespace {

using testing::AppHarness;
using testing::BoxCall;
using testing::U8;

const std::wstring kProduct = L"Toreval Disk Eraser";
const std::wstring kBusy = L"現在別の処理が実行中です。";
const std::wstring kAdkQuestionTitle = L"Windows ADK 任意ダウンロード / 導入";
const std::wstring kMediaDone =
    L"日本語ロケール＆フォント組込済・即時起動 (winpeshl.ini) ＆ UEFI/CSM(BIOS) 両対応の WinPE メディア作成が完了しました！\n\n作成したメディアからPCをブートすると、文字化けなしで即座に Toreval Disk Eraser が起動します。";
const std::wstring kWinPEError =
    L"WinPE 処理中にエラーが発生しました。監査ログコンソールの出力を確認してください。";
const std::wstring kUsbEntryE = L"E: [USB Drive - 14.91 GB]";

// The ADK files that decide its status: 2 missing, 1 without add-on, 0 ready (with x86 too).
void InstallAdk(const AppHarness& h, int32_t status) {
  namespace fs = std::filesystem;
  const fs::path root = h.adkRoot();
  std::vector<fs::path> files;
  if (status <= 1) files.push_back(root / "Deployment Tools" / "DandISetEnv.bat");
  if (status == 0) {
    files.push_back(root / "Windows Preinstallation Environment" / "copype.cmd");
    files.push_back(root / "Windows Preinstallation Environment" / "x86" / "en-us" / "winpe.wim");
  }
  for (const fs::path& file : files) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "";
  }
}

std::string Box(const BoxCall& box) {
  return U8(box.title) + " | " + U8(box.text) + " | " + std::to_string(box.flags);
}
std::string Box(const std::wstring& title, const std::wstring& text, UINT flags) {
  return Box(BoxCall{text, title, flags});
}

// Every box shown so far, one a line.
std::string Boxes(const AppHarness& h) {
  std::string all;
  for (const BoxCall& box : h.boxes)
    all += Box(box) + "\n";
  return all;
}

void ExpectIdle(AppHarness& h) {
  EXPECT_EQ(h.app().busy.load(), 0);
  EXPECT_TRUE(IsWindowEnabled(h.app().controls.adkButton));
  EXPECT_TRUE(IsWindowEnabled(h.app().controls.createMedia));
}

TEST(WinPESection, MediaButtonRefusalsAndCancelsStartNothing) {
  const std::wstring admin =
      L"WinPE起動メディアの作成 (DISMイメージマウント) には管理者権限が必要です。\n画面右上の「管理者権限で再起動」ボタンを押してから実行してください。";
  const std::wstring adk =
      L"Windows ADK または WinPE Add-on がまだインストールされていません。\n先に上の「選択した ADK + WinPE Add-on を任意ダウンロード / 導入」を実行してください。";
  const UINT warning = MB_OK | MB_ICONWARNING;
  const struct {
    const char* name;
    int32_t adkStatus, output;
    std::function<void(AppHarness&)> arrange;
    std::string box;  // the last box; empty: none
  } cases[] = {
      {"busy", 0, 1, [](AppHarness& h) { h.app().busy = 1; }, Box(kProduct, kBusy, warning)},
      // Refused before the ADK is even looked at.
      {"not administrator", 2, 1, [](AppHarness& h) { h.app().isAdmin = 0; },
       Box(kProduct, admin, warning)},
      {"no ADK", 2, 1, nullptr, Box(kProduct, adk, warning)},
      {"ADK without the WinPE add-on", 1, 1, nullptr, Box(kProduct, adk, warning)},
      {"no removable drive", 0, 0, nullptr,
       Box(kProduct, L"有効なリムーバブルUSBドライブが選択されていません。", warning)},
      {"USB question answered No", 0, 0,
       [](AppHarness& h) {
         h.removableDrives = {kUsbEntryE};
         h.SelectCombo(kIdUsbTarget, 0);
         h.SelectCombo(kIdWinPEArchitecture, 1);
         h.answer = [](const BoxCall&) { return IDNO; };
       },
       Box(L"WinPE USB作成確認",
           L"対象USBドライブ (E:) をフォーマットし、\n「日本語対応・即時起動 WinPE USB (x86_32bit / UEFI+CSM両対応)」を作成します。\nUSBメモリ内の既存データは消去されます。よろしいですか？",
           MB_YESNO | MB_ICONWARNING)},
      {"ISO dialog cancelled", 0, 1, nullptr, ""},
      {"worker thread refused", 0, 1,
       [](AppHarness& h) {
         h.isoAnswer = L"C:\\out.iso";
         h.threadsFail = true;
       },
       Box(kProduct, L"WinPE 処理を開始できませんでした (ワーカースレッドを作成できません)。",
           MB_OK | MB_ICONERROR)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AppHarness h;
    InstallAdk(h, c.adkStatus);
    h.Start();
    h.SelectCombo(kIdWinPEOutput, c.output);
    if (c.arrange) c.arrange(h);
    h.Click(kIdRescan);  // the USB list is refilled with the drives of the case
    int builds = 0;
    h.buildJob = [&builds](const WinPEBuildRequest&, LogCallback, const WinPEHost&) {
      return ++builds, 0;
    };
    h.Click(kIdCreateMedia);
    EXPECT_EQ(h.boxes.empty() ? "" : Box(h.boxes.back()), c.box);
    EXPECT_EQ(builds, 0);
    EXPECT_FALSE(h.app().winpeWorker.joinable());
    h.app().busy = 0;
    ExpectIdle(h);
  }
}

TEST(WinPESection, MediaButtonHandsTheChoicesToTheBuildAndShowsItsEnd) {
  const std::string done =
      Box(L"WinPE メディア作成完了", kMediaDone, MB_OK | MB_ICONINFORMATION) + "\n";
  const std::string usb = Box(
      L"WinPE USB作成確認",
      L"対象USBドライブ (G:) をフォーマットし、\n「日本語対応・即時起動 WinPE USB (x64_64bit / UEFI+CSM両対応)」を作成します。\nUSBメモリ内の既存データは消去されます。よろしいですか？",
      MB_YESNO | MB_ICONWARNING);
  const struct {
    int32_t architecture, output, boot, usbIndex, result;
    std::string request;  // mode arch uefiOnly usb | iso | work
    std::string boxes;
    std::wstring isoSuggestion;
  } cases[] = {
      {1, 1, 0, 0, 0, "1 1 0  | C:\\out\\pe.iso | ", done,
       L"Toreval_Disk_Eraser_WinPE_x86_32bit_JP.iso"},
      {0, 1, 1, 0, 0, "1 0 1  | C:\\out\\pe.iso | ", done,
       L"Toreval_Disk_Eraser_WinPE_x64_64bit_JP.iso"},
      {0, 0, 1, 1, 0, "0 0 1 G: |  | ", usb + "\n" + done, L""},
      {0, 2, 0, 0, 1, "2 0 0  |  | ", Box(kProduct, kWinPEError, MB_OK | MB_ICONERROR) + "\n", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.request);
    AppHarness h;
    InstallAdk(h, 0);
    h.removableDrives = {L"F: [BOOT - 7.50 GB]", L"G: [USB Drive - 14.91 GB]"};
    h.isoAnswer = L"C:\\out\\pe.iso";
    std::vector<WinPEBuildRequest> requests;
    h.buildJob = [&](const WinPEBuildRequest& request, LogCallback log, const WinPEHost& host) {
      requests.push_back(request);
      log(L"[WINPE BUILD] " + host.adkRootCandidates.front());
      return c.result;
    };
    h.Start();
    h.SelectCombo(kIdWinPEArchitecture, c.architecture);
    h.SelectCombo(kIdWinPEOutput, c.output);
    h.SelectCombo(kIdWinPEBoot, c.boot);
    h.SelectCombo(kIdUsbTarget, c.usbIndex);
    h.boxes.clear();
    h.Click(kIdCreateMedia);
    ASSERT_TRUE(h.WaitForIdle());
    ASSERT_EQ(requests.size(), 1u);
    const WinPEBuildRequest& r = requests[0];
    EXPECT_EQ(std::to_string(r.outputMode) + " " + std::to_string(r.architecture) + " " +
                  std::to_string(r.uefiOnly) + " " + U8(r.usbTarget) + " | " + U8(r.isoPath) +
                  " | " + U8(r.workDir),
              c.request);
    EXPECT_EQ(U8(r.certificateFolder), U8(h.certificateFolder()));
    EXPECT_EQ(Boxes(h), c.boxes);
    EXPECT_EQ(U8(h.isoSuggestions.empty() ? L"" : h.isoSuggestions[0]), U8(c.isoSuggestion));
    EXPECT_NE(U8(h.ConsoleLines().back()).find("] [WINPE BUILD] " + U8(h.adkRoot())),
              std::string::npos);
    ExpectIdle(h);
  }
}

TEST(WinPESection, AdkButtonAsksThenAcquiresAndRefreshesTheStatusLine) {
  const std::wstring install =
      L"選択した Windows ADK および WinPE Add-on (x86 32bit / x64 64bit サポート) を自動ダウンロード＆導入しますか？";
  const std::wstring download =
      L"Microsoft 公式サーバーから Windows 10 ADK & PE Add-on (x86/x64対応版) および Windows 11 ADK & PE Add-on のインストーラー一式をダウンロード保存しますか？";
  const std::wstring done =
      L"Windows ADK / WinPE Add-on (x86/x64) のダウンロード・導入処理が完了しました！";
  const UINT question = MB_YESNO | MB_ICONQUESTION;
  const UINT information = MB_OK | MB_ICONINFORMATION;
  const std::string ask = Box(kAdkQuestionTitle, install, question) + "\n";
  const std::string ok = "ADK状態: [OK] x64 + x86(32bit Win10 PE) + 日本語ロケール 完全対応";
  const struct {
    int32_t choiceIndex, answer, result;
    std::string job;  // "choice folder"; empty: no job
    std::string boxes, label;
  } cases[] = {
      {0, IDNO, 0, "", ask, "ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能"},
      {0, IDYES, 0, "0 ", ask + Box(kProduct, done, information) + "\n", ok},
      {2, IDYES, 0, "2 {certs}\\ADK_Installers",
       Box(kAdkQuestionTitle, download, question) + "\n" + Box(kProduct, done, information) + "\n",
       ok},
      // The status line is read again when the job ends, whatever its result.
      {1, IDYES, 1, "1 ", ask + Box(kProduct, kWinPEError, MB_OK | MB_ICONERROR) + "\n", ok},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.job);
    AppHarness h;
    h.answer = [&c](const BoxCall&) { return c.answer; };
    std::string job;
    h.adkJob = [&](int32_t choice, const std::wstring& folder, LogCallback, const WinPEHost&) {
      job = std::to_string(choice) + " " + U8(folder);
      InstallAdk(h, 0);
      return c.result;
    };
    h.Start();
    EXPECT_EQ(U8(h.Text(h.app().controls.adkStatusLabel)),
              "ADK状態: [未導入] 下のボタンから任意ダウンロード・導入可能");
    h.SelectCombo(kIdAdkChoice, c.choiceIndex);
    h.boxes.clear();
    h.Click(kIdAdkButton);
    ASSERT_TRUE(h.WaitForIdle());
    std::string expectedJob = c.job;
    if (const size_t at = expectedJob.find("{certs}"); at != std::string::npos)
      expectedJob.replace(at, 7, U8(h.certificateFolder()));
    EXPECT_EQ(job, expectedJob);
    EXPECT_EQ(Boxes(h), c.boxes);
    EXPECT_EQ(U8(h.Text(h.app().controls.adkStatusLabel)), c.label);
    ExpectIdle(h);
  }
}

TEST(WinPESection, BusyIsSharedWithTheEraseJob) {
  AppHarness h;
  InstallAdk(h, 0);
  h.disks = {testing::TestDisk(3, h.temp().File("disk.img"), 64ull << 20)};
  h.isoAnswer = L"C:\\out.iso";
  std::atomic<bool> release{false};
  const auto wait = [&release] {
    while (!release.load())
      Sleep(5);
  };
  h.buildJob = [&](const WinPEBuildRequest&, LogCallback, const WinPEHost&) {
    wait();
    return 0;
  };
  h.job = [&](const EraseJobConfig&, int32_t, const CancelFlag&, const ProgressCallback&,
              const LogCallback&) {
    wait();
    return ReportData{};
  };
  h.Start();
  const std::string busyBox = Box(kProduct, kBusy, MB_OK | MB_ICONWARNING) + "\n";

  // A media build runs: its buttons are grey, and the erase is refused.
  h.Click(kIdCreateMedia);
  EXPECT_EQ(h.app().busy.load(), 1);
  EXPECT_FALSE(IsWindowEnabled(h.app().controls.adkButton));
  EXPECT_FALSE(IsWindowEnabled(h.app().controls.createMedia));
  h.boxes.clear();
  h.Click(kIdStartErase);
  EXPECT_EQ(Boxes(h), busyBox);
  EXPECT_EQ(h.jobsStarted, 0);
  release = true;
  ASSERT_TRUE(h.WaitForIdle());
  ExpectIdle(h);

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

TEST(WinPESection, UsbListHoldsTheRemovableDrivesOrTheHint) {
  AppHarness h;
  h.Start();
  const auto entries = [&h] {
    const HWND combo = h.app().controls.usbTarget;
    std::string items = std::to_string(ComboSelection(combo));
    for (int i = 0; i < SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
      wchar_t text[256] = {};
      SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      items += " | " + U8(text);
    }
    return items;
  };
  EXPECT_EQ(entries(), "0 | (リムーバブルUSB未検出 - ISO出力推奨)");
  h.removableDrives = {kUsbEntryE, L"F: [BOOT - 0 B]"};
  h.Click(kIdRescan);
  EXPECT_EQ(entries(), "0 | E: [USB Drive - 14.91 GB] | F: [BOOT - 0 B]");
}

}  // namespace
}  // namespace tvde
