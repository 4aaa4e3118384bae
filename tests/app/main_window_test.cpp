// The main window driven in-process: the launch interlock's refusals and questions, the jobs it
// launches (a simulation to the report, abort and close, a burst of progress; the real write on
// an image file is the job driver's test), the disk list under the environment rules, the
// settings round trip and the DPI re-layout.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <regex>

#include "app/erase_launch_texts.h"
#include "app/main_window_layout.h"
#include "app/win_controls.h"
#include "app/window_fit.h"
#include "app_harness.h"
#include "base/host_environment.h"
#include "job/erase_job_driver.h"
#include "settings/settings_rules.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::AppHarness;
using testing::BoxCall;
using testing::TestDisk;
using testing::U8;

void RealWrite(AppHarness& h) {
  h.SelectCombo(kIdExecutionMode, 1);
}
void Protect(AppHarness& h, SafetyStatus status) {
  h.disks[0].safetyStatus = status;
  h.disks[0].safetyReason = L"内蔵ディスク";
}
void ZeroesAfter(AppHarness& h, int standard) {  // the all-zero disk without a stamp
  h.SelectCombo(kIdStandard, standard);
  h.SelectCombo(kIdPostEraseState, 1);
}
int Yes(const BoxCall&) {
  return IDYES;
}

// Every refusal, cancel and No of the launch starts nothing; each shows its box (the busy refusal
// is WinPESection.BusyIsSharedWithTheEraseJob's). Every question is answered No unless told.
TEST(MainWindowInterlock, EveryRefusalShowsItsBoxAndStartsNothing) {
  const std::wstring product = L"Toreval Disk Eraser", folder = kFolderQuestionTitle;
  const UINT warning = MB_OK | MB_ICONWARNING, question = MB_YESNO | MB_ICONQUESTION;
  const std::wstring folderQuestion =
      L"【ログ・証明書の保存先確認 (ISO/CD・DVD / WinPE起動サポート)】\n現在の保存先: {certs}\n理由: CD-ROM\n\n"
      L"・[はい (Yes)]   : 今すぐ書き込み可能な保存先 (USBメモリ等) を指定する\n"
      L"・[いいえ (No)]  : このまま続行する (消去完了後のレポート画面からも別ドライブへ保存可能)\n"
      L"・[キャンセル]   : 消去を中止する";
  const std::wstring summary =
      L"以下の内容でデータ消去プロセスを開始します。よろしいですか？\n\n・対象ディスク   : Disk 3 (Toreval Test Disk 3)\n"
      L"・容量 / ドライブ: 64.0 MB / E:\n・消去規格       : " +
      std::wstring(StandardLabel(EraseStandard::ZeroFill)) +
      L"\n・消去後の状態   : 通常通りディスクを完全消去した状態 (全セクタ0x00・スタンプなし)\n"
      L"・ログ/証明書保存: 有効 (保存先: {certs})\n・実行モード     : 【安全シミュレーション(DryRun) - 実データは消えません】";
  const int random = static_cast<int>(EraseStandard::CryptoRandom);
  const struct {
    const char* name;
    std::function<void(AppHarness&)> arrange;
    std::wstring text;  // held by the box's text; {certs}: the certificate folder
    std::wstring title;
    UINT flags;
    int pickerCalls = 0;
    size_t boxes = 1;
  } cases[] = {
      // clang-format off
      {"no disk", [](AppHarness& h) { h.disks.clear(); }, kNoSelectionRefusal, product, warning},
      {"folder longer than a setting", [](AppHarness& h) { SetText(h.app().controls.logFolder, L"C:\\" + std::wstring(257, L'f')); },
       kLongFolderRefusal, product, warning},
      {"C: disk outside WinPE", [](AppHarness& h) { h.disks[0].driveLetters = L"c:, E:"; RealWrite(h); },
       kOsDiskRefusal, kOsDiskRefusalTitle, MB_OK | MB_ICONERROR},
      {"protected disk", [](AppHarness& h) { Protect(h, SafetyStatus::LockedInternal); RealWrite(h); },
       L"【安全保護ロック中】\n内蔵ディスク\n\n※テスト実行したい場合は動作モードを『安全シミュレーション(DryRun)』に切り替えてください。",
       kSafetyGuardTitle, warning},
      {"not administrator", [](AppHarness& h) { h.admin = false; RealWrite(h); }, kAdminRefusal, product, warning},
      {"wrong code", [](AppHarness& h) { SetText(h.app().controls.confirmCode, L"ERAZE"); }, kConfirmCodeRefusal,
       kConfirmCodeTitle, warning},
      {"worker thread refused", [](AppHarness& h) { h.threadsFail = true; h.answer = Yes; }, kWorkerStartFailed,
       product, MB_OK | MB_ICONERROR, 0, 2},  // after the final confirmation
      {"folder question cancelled",
       [](AppHarness& h) { h.folderReason = L"CD-ROM"; h.answer = [](const BoxCall&) { return IDCANCEL; }; },
       folderQuestion, folder, MB_YESNOCANCEL | MB_ICONQUESTION},
      {"picker cancelled", [](AppHarness& h) { h.folderReason = L"RO"; h.answer = Yes; }, L"", folder,
       MB_YESNOCANCEL | MB_ICONQUESTION, 1},
      // Past the interlock, the final confirmation.
      {"simulation of a protected disk, zero fill",
       [](AppHarness& h) { Protect(h, SafetyStatus::ProtectedSystemDisk); ZeroesAfter(h, 2); h.folderReason = L"CD-ROM"; },
       summary, kFinalConfirmationTitle, question, 0, 2},  // after the folder question
      // Without log output no folder question; a last random pass promises no all-zero disk.
      {"log output off, random data",
       [random](AppHarness& h) { h.Click(kIdLogOutput); ZeroesAfter(h, random); h.folderReason = L"CD-ROM"; },
       L"・消去後の状態   : 通常通りディスクを完全消去した状態 (スタンプなし)\n・ログ/証明書保存: 無効 (画面レポート表示のみ)\n",
       kFinalConfirmationTitle, question},
      // NIST Purge asks for the drive's own erase, and the operator is told it cannot be stopped.
      {"C: disk under WinPE, code in lower case",
       [](AppHarness& h) { h.winPE = true; h.disks[0].driveLetters = L"C:"; SetText(h.app().controls.confirmCode, L"erase"); RealWrite(h); },
       L"・ファーム消去   : 自動 (ドライブ対応の方式)\n  ※ドライブ自身の消去は開始後に中断できず、電源が切れても再投入後に再開されます。",
       kFinalConfirmationTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AppHarness h;
    h.disks = {TestDisk(3, h.temp().File("disk.img"), 64ull << 20)};
    h.answer = [](const BoxCall&) { return IDNO; };
    h.Start();
    c.arrange(h);  // the environment answers are taken again by the refresh below
    h.app().isWinPE = h.winPE ? 1 : 0;
    h.app().isAdmin = h.admin ? 1 : 0;
    h.Click(kIdRescan);
    h.boxes.clear();
    h.Click(kIdStartErase);
    ASSERT_FALSE(h.boxes.empty());
    const BoxCall& box = h.boxes.back();
    std::string text = U8(c.text);
    if (const size_t at = text.find("{certs}"); at != std::string::npos)
      text.replace(at, 7, U8(h.certificateFolder()));
    EXPECT_NE(U8(box.text).find(text), std::string::npos) << U8(box.text);
    EXPECT_EQ(U8(box.title), U8(c.title));
    EXPECT_EQ(box.flags, c.flags);
    EXPECT_EQ(h.boxes.size(), c.boxes);
    EXPECT_EQ(h.jobsStarted, 0);
    EXPECT_EQ(h.pickerCalls, c.pickerCalls);
    EXPECT_TRUE(IsWindowEnabled(h.Control(kIdStartErase)) && !IsWindowEnabled(h.Control(kIdAbort)));
    EXPECT_FALSE(h.app().eraseWorker.joinable());
  }
}

int BarPosition(HWND bar) {
  return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
}

TEST(EraseThroughWindow, ReportButtonsBeforeAndAfterASimulationRunToTheReport) {
  AppHarness h;
  h.disks = {TestDisk(3, L"unused", 32ull << 30)};
  h.detectedStamp.emplace().incomplete = 0;
  h.detectedStamp->certificateId = L"TVDE-20250101-000000-00000000";
  AppSettings settings = LoadSettingsFrom(h.store, FolderCreation::None);
  settings.signingKeyFile = h.temp().File("key.pem");  // signing itself is the job's test
  SaveSettingsTo(h.store, settings);
  h.Start();
  App& app = h.app();
  h.Click(kIdOpenCertificate);  // nothing saved in this session yet
  EXPECT_TRUE(
      U8(h.boxes.back().text)
          .starts_with("まだこのセッションで保存されたHTML消去証明書ファイルがありません。\n"));
  const size_t linesBefore = h.ConsoleLines().size();

  h.SelectCombo(kIdStandard, 2);  // zero fill: one pass
  h.Click(kIdStartErase);
  EXPECT_TRUE(!IsWindowEnabled(h.Control(kIdStartErase)) && IsWindowEnabled(h.Control(kIdAbort)));
  ASSERT_TRUE(h.WaitForIdle());
  EXPECT_EQ(BarPosition(app.controls.passBar) + BarPosition(app.controls.overallBar), 200);
  EXPECT_EQ(U8(h.Text(app.controls.statusLabel)),
            "完了 (COMPLETED) - 実機消去証明＆ハードウェアレポートを発行しました！");
  ASSERT_EQ(h.reportRequests.size(), 1u);
  const ReportDialogRequest& request = h.reportRequests[0];
  const ReportData& result = request.result.value();
  EXPECT_EQ(result.statusCode, kStatusCompleted);
  EXPECT_EQ(U8(result.config.outputFolder + L"|" + result.config.signingKeyFile),
            U8(h.certificateFolder() + L"|" + settings.signingKeyFile));
  EXPECT_EQ(U8(request.payload.certificateId), U8(result.certificateId));
  EXPECT_EQ(request.disk.value().diskNumber, 3);
  EXPECT_TRUE(request.log);  // the dialog's stamp lines reach the console
  EXPECT_TRUE(request.jobRunning && !request.jobRunning());

  // Every line time-stamped, the job's lines between its banner and the outcome.
  const std::vector<std::wstring> lines = h.ConsoleLines();
  static const std::wregex stamped(L"\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] .*");
  for (const std::wstring& line : lines)
    EXPECT_TRUE(std::regex_match(line, stamped)) << U8(line);
  ASSERT_GT(lines.size(), linesBefore + 2);
  EXPECT_NE(U8(lines[linesBefore]).find("=== [安全シミュレーション(Dry-Run)モード]"),
            std::string::npos);
  EXPECT_EQ(U8(lines[lines.size() - 2].substr(22)),
            "[CERTIFICATE] 証明書・監査ログ保存完了: " + U8(result.htmlPath));
  EXPECT_EQ(U8(lines.back().substr(22)), "[SHA-256] " + U8(result.sha256Fingerprint));
  h.Click(kIdOpenCertificate);
  EXPECT_EQ(h.opened, std::vector<std::wstring>{result.htmlPath});
  h.shellOpenError = ERROR_NO_ASSOCIATION;  // WinPE: no browser
  h.Click(kIdOpenCertificate);
  EXPECT_TRUE(
      U8(h.boxes.back().text)
          .starts_with("HTML証明書を開けませんでした。\n\nファイル: " + U8(result.htmlPath) +
                       "\n理由: HTML ファイルを開くアプリケーション (ブラウザー) がこの環境"));
  h.Click(kIdOpenLogFolder);  // nor is there a file manager
  EXPECT_TRUE(U8(h.boxes.back().text)
                  .starts_with("保存先フォルダーを開けませんでした。\n\nフォルダー: " +
                               U8(GetText(app.controls.logFolder, 259)) +
                               "\n理由: フォルダーを表示するアプリケーション (エクスプローラー)"));
  h.shellOpenError = ERROR_PATH_NOT_FOUND;  // a folder is named as one
  h.Click(kIdOpenLogFolder);
  EXPECT_NE(U8(h.boxes.back().text).find("\n理由: フォルダーが見つかりません"), std::string::npos);

  // The job's report goes with its own disk only: any other disk in the first row shows the stamp
  // read from it, so the dialog's stamp switch never engraves the report on another disk.
  const std::wstring jobId = result.certificateId;
  for (const auto& [first, own] : {std::pair{TestDisk(3, L"unused", 32ull << 30), true},
                                   {TestDisk(5, L"unused", 32ull << 30), false},
                                   {TestDisk(3, L"unused", 16ull << 30), false}}) {
    h.disks = {first};
    h.Click(kIdRescan);
    h.Click(kIdReportDialog);
    const ReportDialogRequest& shown = h.reportRequests.back();
    EXPECT_EQ(shown.result.has_value(), own);
    EXPECT_EQ(U8(shown.disk.value().model + L"|" + shown.payload.certificateId),
              U8(first.model + L"|" + (own ? jobId : h.detectedStamp->certificateId)));
  }
  EXPECT_EQ(U8(h.ConsoleLines().back().substr(22)),
            "[DISK STAMP] Disk 3 から実機消去＆ハードウェアレポートスタンプを検出しました！");
  // A job that ends while the dialog is open leaves a line instead of a second dialog.
  app.services.showReportDialog = [&, open = app.services.showReportDialog](
                                      HWND owner, const ReportDialogRequest& asked) {
    open(owner, asked);
    if (h.reportRequests.size() == 5) SendMessageW(app.mainWindow, WM_APP_ERASE_DONE, 0, 0);
  };
  h.Click(kIdReportDialog);
  EXPECT_EQ(h.reportRequests.size(), 5u);
  EXPECT_TRUE(U8(h.ConsoleLines().back().substr(22))
                  .starts_with("[REPORT] レポート画面が開いているため、今回の消去レポートは"));
}

TEST(EraseThroughWindow, AbortClosingAndTheSessionsEndStopTheJob) {
  AppHarness h;
  h.disks = {TestDisk(3, L"unused", 1ull << 30)};
  std::atomic<int32_t> endedWith{0};
  h.job = [&endedWith](const EraseJobConfig& config, int32_t isWinPE, const CancelFlag& cancel,
                       const ProgressCallback& progress, const LogCallback& log) {
    ReportData result = RunEraseJob(config, isWinPE, cancel, progress, log);
    endedWith = result.statusCode;
    return result;
  };
  h.Start();
  App& app = h.app();
  h.SelectCombo(kIdStandard, 7);  // 35 simulated passes
  const auto startAndWaitForProgress = [&] {
    SetProgressPosition(app.controls.overallBar, 0);
    h.Click(kIdStartErase);
    return h.PumpUntil([&] { return BarPosition(app.controls.overallBar) > 0; });
  };

  ASSERT_TRUE(startAndWaitForProgress());
  h.Click(kIdAbort);
  ASSERT_TRUE(h.WaitForIdle());
  EXPECT_EQ(endedWith.load(), kStatusCancelled);
  EXPECT_EQ(
      U8(h.Text(app.controls.statusLabel) + L"|" + h.boxes.back().text),
      "中断 (CANCELLED) - ユーザーによって停止されました。|消去処理を中断しました。中断ログが保存されました。");
  EXPECT_TRUE(IsWindowEnabled(h.Control(kIdStartErase)) && !IsWindowEnabled(h.Control(kIdAbort)));
  EXPECT_EQ(h.enumerations.size(), 2u);  // the list is refreshed after a job
  EXPECT_TRUE(h.reportRequests.empty());

  // The machine is held awake and the session's end refused while a job runs; a session that
  // ends anyway cancels it, and the job ends through its own path.
  ASSERT_TRUE(startAndWaitForProgress());
  EXPECT_EQ(SendMessageW(app.mainWindow, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), FALSE);
  SendMessageW(app.mainWindow, WM_ENDSESSION, TRUE, 0);
  ASSERT_TRUE(h.WaitForIdle());
  EXPECT_EQ(endedWith.load(), kStatusCancelled);
  std::string log;
  for (const std::wstring& line : h.ConsoleLines())
    log += U8(line.substr(22)) + "\n";
  EXPECT_NE(
      log.find(
          "[SESSION] Windows のセッションが終了します。実行中のディスク消去を中断します (消去は完了していません)。\n"
          "[SESSION] 消去ジョブは中断として終了しました。ディスクは消去途中の状態です。\n"),
      std::string::npos);
  const std::string held =
      "awake 80000001|block " + U8(kEraseBlockReason) + "|unblock|awake 80000000|";
  EXPECT_EQ(h.sessionCalls, held + held);

  // Closing while the next job runs: No keeps it running; Yes cancels, saves and joins.
  endedWith = 0;
  ASSERT_TRUE(startAndWaitForProgress());
  SetText(app.controls.operatorName, L"閉じる担当");
  h.answer = [](const BoxCall&) { return IDNO; };
  SendMessageW(app.mainWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(U8(h.boxes.back().text), "現在処理が実行中です。強制終了してもよろしいですか？");
  EXPECT_TRUE(app.windowAlive && app.cancelRequested.load() == 0);
  h.answer = [](const BoxCall&) { return IDYES; };
  SendMessageW(app.mainWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(!app.windowAlive && app.cancelRequested.load() == 1);
  EXPECT_EQ(U8(LoadSettingsFrom(h.store).operatorName), "閉じる担当");
  h.Stop();  // the destructor waits for the job to reach its end
  EXPECT_EQ(endedWith.load(), kStatusCancelled);
}

TEST(EraseThroughWindow, BurstOfProgressKeepsTheQueueShortAndEveryLine) {
  AppHarness h;
  h.disks = {TestDisk(3, L"unused", 1ull << 30)};
  h.job = [](const EraseJobConfig& config, int32_t, const CancelFlag&,
             const ProgressCallback& progress, const LogCallback& log) {
    for (int i = 0; i < 10000; ++i) {
      progress({kPhaseOverwrite, 1, 1, i / 100, i % 101, 12.5, L"burst " + std::to_wstring(i)});
      if (i % 10 == 9) log(L"burst line " + std::to_wstring(i / 10));
    }
    ReportData result;
    result.statusCode = kStatusCompleted;
    result.config = config;
    return result;
  };
  h.Start();
  h.Click(kIdStartErase);
  h.app().eraseWorker.join();  // the GUI thread reads nothing while the worker reports

  std::map<UINT, int> posted;
  std::wstring statusAfterProgress;
  MSG message;
  while (
      PeekMessageW(&message, h.app().mainWindow, WM_APP_PROGRESS, WM_APP_ERASE_DONE, PM_REMOVE)) {
    ++posted[message.message];
    DispatchMessageW(&message);
    if (message.message == WM_APP_PROGRESS)
      statusAfterProgress = h.Text(h.app().controls.statusLabel);
  }
  EXPECT_EQ(std::make_tuple(posted[WM_APP_PROGRESS], posted[WM_APP_LOG], posted[WM_APP_ERASE_DONE]),
            std::make_tuple(1, 1, 1));
  // The one progress message showed the newest record.
  EXPECT_EQ(U8(statusAfterProgress),
            "burst 9999  |  現在パス: 0%  |  全体進捗: 99%  |  処理速度: 12.5 MB/s");
  EXPECT_EQ(h.reportRequests.size(), 1u);
  std::string burst, expected;
  for (const std::wstring& line : h.ConsoleLines())
    if (line.find(L"burst line ") != std::wstring::npos) burst += U8(line.substr(22)) + "\n";
  for (int i = 0; i < 1000; ++i)
    expected += "burst line " + std::to_string(i) + "\n";
  EXPECT_EQ(burst, expected);  // every line once, in order
}

// The disk list under the environment rules, then the settings round trip and the DPI re-layout.
TEST(MainWindow, DiskListSettingsAndLayoutFollowTheControls) {
  AppHarness h;
  DiskInfo system = TestDisk(0, L"unused", 256ull << 30);
  system.driveLetters = L"C:";
  system.mediaType = MediaKind::NvmeSsd;
  h.disks = {system, TestDisk(1, L"unused", 1ull << 30)};
  h.admin = false;
  h.Start();
  const MainControls& c = h.app().controls;
  EXPECT_EQ(h.enumerations.back(), std::make_pair(0, 0));
  EXPECT_EQ(U8(h.Text(c.environmentLabel) + L"|" + h.Text(c.privilegeLabel)),
            "稼働環境: [通常 Windows OS モード] 外部USB/リムーバブル消去 ＆ WinPE作成|"
            "権限状態: [標準ユーザー (実機消去は要昇格)]");
  EXPECT_TRUE(IsWindowEnabled(c.restartAsAdmin));
  wchar_t noStamp[128] = {};  // true whatever the standard's last pass writes
  SendMessageW(c.postEraseState, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(noStamp));
  EXPECT_EQ(
      U8(noStamp),
      "[完全消去状態(スタンプなし)] 通常通りディスクを完全消去した状態にする (スタンプを書き込まない)");
  EXPECT_EQ(U8(h.Text(c.selectionLabel)),
            "選択: Disk 0 (Toreval Test Disk 0)" + U8(RecommendationSuffix(MediaKind::NvmeSsd)));

  h.Click(kIdWinPESimulation);
  EXPECT_EQ(h.enumerations.back(), std::make_pair(1, 0));
  EXPECT_EQ(U8(h.Text(c.environmentLabel)),
            "稼働環境: [WinPE スタンドアロンモード] 内蔵SSD/HDDの完全消去が可能");
  EXPECT_EQ(
      U8(h.app().disks[0].safetyReason + L"|" + h.app().disks[1].safetyReason),
      "[WinPEシミュレーション] 実WinPE起動時は消去可能 (現在はWindows稼働中のためSimulationのみ許可)|");

  h.disks.clear();
  h.Click(kIdUnlockInternal);
  EXPECT_EQ(h.enumerations.back(), std::make_pair(1, 1));
  EXPECT_EQ(h.app().selectedDiskIndex, -1);
  EXPECT_EQ(U8(h.Text(c.selectionLabel)), "ディスクが選択されていません。");

  using C = MainControls;
  // clang-format off
  const std::pair<HWND C::*, const wchar_t*> edits[] = {
      {&C::operatorName, L"山田 太郎"}, {&C::organization, L"情報システム部"}, {&C::logFolder, L"D:\\証明書"},
      {&C::notes, L"社内PC・ストレージ廃棄/再利用前サニタイズ処理 (NIST SP 800-88 Rev.1)"}};  // not kept
  const std::tuple<int, HWND C::*, int> combos[] = {{kIdStandard, &C::standard, 5}, {kIdVerify, &C::verify, 3},
      {kIdExecutionMode, &C::executionMode, 1}, {kIdPostEraseState, &C::postEraseState, 1}};
  // clang-format on
  for (const auto& [slot, text] : edits)
    SetText(h.app().controls.*slot, slot == &C::notes ? L"not persisted" : text);
  h.SelectCombo(kIdStandard, 0);
  EXPECT_EQ(ComboSelection(h.app().controls.firmwareMode), 1);  // NIST Purge: the drive's erase
  for (const auto& [id, slot, index] : combos)
    h.SelectCombo(id, index);
  EXPECT_EQ(ComboSelection(h.app().controls.firmwareMode), 0);  // other standards: none
  EXPECT_EQ(U8(h.Text(h.app().controls.standardDescription)),
            U8(StandardDescription(EraseStandard::HmgIs5Enhanced)));
  h.Click(kIdLogOutput);  // unchecked: the folder controls go grey and the choice is saved
  EXPECT_EQ(LoadSettingsFrom(h.store).enableLogOutput, 1);
  h.Stop();  // closing saves the rest

  h.Start();
  const MainControls& next = h.app().controls;
  for (const auto& [slot, text] : edits)
    EXPECT_EQ(U8(h.Text(next.*slot)), U8(text));
  for (const auto& [id, slot, index] : combos)
    EXPECT_EQ(ComboSelection(next.*slot), index) << id;
  EXPECT_FALSE(IsChecked(next.logOutput));
  for (HWND control : {next.logFolder, next.changeLogFolder, next.openLogFolder})
    EXPECT_FALSE(IsWindowEnabled(control));

  // The folder picker's answer goes into the edit, the settings and the log.
  h.Click(kIdLogOutput);
  h.pickerAnswer = L"E:\\Toreval_Erasure_Logs";
  h.Click(kIdChangeLogFolder);
  EXPECT_EQ(U8(LoadSettingsFrom(h.store).certOutputDir), "E:\\Toreval_Erasure_Logs");
  EXPECT_NE(U8(h.ConsoleLines().back())
                .find("[LOG PATH] 証明書・監査ログ保存先を変更しました: E:\\Toreval_Erasure_Logs"),
            std::string::npos);

  // A folder too long for a setting is never saved cut into another, shorter folder: the next
  // start still shows it too long, and the erase refuses it.
  SetText(h.app().controls.logFolder, L"C:\\" + std::wstring(300, L'f'));
  h.Stop();
  h.Start();
  EXPECT_GT(h.Text(h.app().controls.logFolder).size(), kSettingsTextMaxChars);
}

// A work area smaller than the layout scales it down to fit (the DPI change lays it out again),
// but not below a readable size; what still does not fit scrolls, and every control can be
// brought into view, also after the screen changed. The font files are offered once, in order; in
// WinPE never from C:, an internal disk that may be erased while the file stays open.
TEST(MainWindow, FitsTheWorkAreaEveryControlCanBeReachedAndFontsComeOnce) {
  const std::tuple<RECT, uint32_t, bool, bool> cases[] = {
      {{0, 0, 1024, 768}, 96, false, true},      // a usual WinPE screen
      {{0, 0, 1366, 718}, 120, false, false},    // a laptop panel at 125 %, taskbar below
      {{200, 100, 1000, 700}, 96, true, false},  // 800 x 600 needs less than the readable size
  };
  for (const auto& [work, dpi, scrolls, winPE] : cases) {
    AppHarness h;
    h.workArea = work;
    h.winPE = winPE;
    h.Start();
    const HWND window = h.app().mainWindow;
    RECT suggested = work, placed{}, client{};
    if (dpi != 96)
      SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(window, &placed);
    EXPECT_TRUE(placed.left >= work.left && placed.top >= work.top && placed.right <= work.right &&
                placed.bottom <= work.bottom);
    EXPECT_TRUE(h.app().dpi >= kMinLayoutDpi && h.app().dpi < dpi);
    EXPECT_EQ((GetWindowLongW(window, GWL_STYLE) & WS_VSCROLL) != 0, scrolls);
    GetClientRect(window, &client);
    const auto place = [window](HWND control) {
      RECT rect{};
      GetWindowRect(control, &rect);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
      return rect;
    };
    SendMessageW(window, WM_VSCROLL, SB_BOTTOM, 0);  // the lowest control comes up
    EXPECT_LE(place(h.app().controls.logConsole).bottom, client.bottom);
    // Each control, once scrolled to, shows as much of itself as the client area can hold.
    for (HWND control : h.app().controls.all) {
      ScrollIntoView(h.app(), control);
      RECT rect = place(control), shown{};
      IntersectRect(&shown, &rect, &client);
      EXPECT_EQ(shown.right - shown.left, std::min(rect.right - rect.left, client.right));
      EXPECT_EQ(shown.bottom - shown.top, std::min(rect.bottom - rect.top, client.bottom))
          << GetDlgCtrlID(control);
    }
    std::vector<std::wstring> fonts;
    for (const wchar_t* file :
         {L"Fonts\\msgothic.ttc", L"Fonts\\YuGothM.ttc", L"Fonts\\YuGothB.ttc",
          L"Fonts\\meiryo.ttc", L"msgothic.ttc", L"YuGothM.ttc"})
      fonts.push_back(ProgramDirectory() + L"\\" + file);
    for (const wchar_t* file :
         {L"X:\\Windows\\Fonts\\msgothic.ttc", L"X:\\Windows\\Fonts\\YuGothM.ttc",
          L"X:\\Windows\\Fonts\\meiryo.ttc", L"C:\\Windows\\Fonts\\msgothic.ttc",
          L"C:\\Windows\\Fonts\\YuGothM.ttc"})
      if (!winPE || file[0] == L'X') fonts.push_back(file);
    EXPECT_EQ(h.fontFiles, fonts);
    // A screen that changes its resolution fits the window again.
    h.workArea = {0, 0, 800, 600};
    SendMessageW(window, WM_DISPLAYCHANGE, 32, MAKELPARAM(800, 600));
    GetWindowRect(window, &placed);
    EXPECT_TRUE(placed.left >= 0 && placed.top >= 0 && placed.right <= 800 && placed.bottom <= 600);
  }
}

}  // namespace
}  // namespace tvde
