// Jobs launched through the main window (the real write on an image file is the job driver's
// test): a simulation runs to the report, abort and close stop it, a burst of progress cannot
// flood the queue; the report buttons before any job.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <regex>

#include "app/win_controls.h"
#include "app_harness.h"
#include "job/erase_job_driver.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::AppHarness;
using testing::BoxCall;
using testing::TestDisk;
using testing::U8;

int BarPosition(HWND bar) {
  return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
}

TEST(EraseThroughWindow, ReportButtonsBeforeAndAfterASimulationRunToTheReport) {
  AppHarness h;
  h.disks = {TestDisk(3, L"unused", 32ull << 30)};
  h.detectedStamp.incomplete = 0;
  h.detectedStamp.certificateId = L"TVDE-20250101-000000-00000000";
  AppSettings settings = LoadSettingsFrom(h.store, FolderCreation::None);
  settings.signingKeyFile = h.temp().File("key.pem");  // signing itself is the job's test
  SaveSettingsTo(h.store, settings);
  h.Start();
  App& app = h.app();
  h.Click(kIdOpenCertificate);  // nothing saved in this session yet
  EXPECT_TRUE(
      U8(h.boxes.back().text)
          .starts_with("まだこのセッションで保存されたHTML消去証明書ファイルがありません。\n"));
  h.Click(kIdReportDialog);  // without a job, the selected disk's stamp is read
  ASSERT_EQ(h.reportRequests.size(), 1u);
  EXPECT_FALSE(h.reportRequests[0].result.has_value());
  EXPECT_EQ(h.reportRequests[0].disk.value().diskNumber, 3);
  EXPECT_EQ(U8(h.reportRequests[0].payload.certificateId), "TVDE-20250101-000000-00000000");
  EXPECT_EQ(U8(h.ConsoleLines().back().substr(22)),
            "[DISK STAMP] Disk 3 から実機消去＆ハードウェアレポートスタンプを検出しました！");
  const size_t linesBefore = h.ConsoleLines().size();

  h.SelectCombo(kIdStandard, 2);  // zero fill: one pass
  h.Click(kIdStartErase);
  EXPECT_FALSE(IsWindowEnabled(h.Control(kIdStartErase)));
  EXPECT_TRUE(IsWindowEnabled(h.Control(kIdAbort)));
  ASSERT_TRUE(h.WaitForIdle());
  EXPECT_EQ(BarPosition(app.controls.passBar) + BarPosition(app.controls.overallBar), 200);
  EXPECT_EQ(U8(h.Text(app.controls.statusLabel)),
            "完了 (COMPLETED) - 実機消去証明＆ハードウェアレポートを発行しました！");
  EXPECT_TRUE(IsWindowEnabled(h.Control(kIdStartErase)));
  EXPECT_EQ(h.enumerations.size(), 2u);  // refreshed after the job
  ASSERT_EQ(h.reportRequests.size(), 2u);
  const ReportDialogRequest& request = h.reportRequests[1];
  const ReportData& result = request.result.value();
  EXPECT_EQ(result.statusCode, kStatusCompleted);
  EXPECT_EQ(U8(result.config.outputFolder + L"|" + result.config.signingKeyFile),
            U8(h.certificateFolder() + L"|" + settings.signingKeyFile));
  EXPECT_EQ(U8(request.payload.certificateId), U8(result.certificateId));
  EXPECT_EQ(request.disk.value().diskNumber, 3);
  EXPECT_TRUE(request.log);  // the dialog's stamp lines reach the console

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
}

TEST(EraseThroughWindow, AbortAndClosingWhileBusyStopTheJob) {
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
  EXPECT_EQ(h.enumerations.size(), 2u);  // the list is refreshed
  EXPECT_TRUE(h.reportRequests.empty());
  EXPECT_NE(U8(h.Text(app.controls.logConsole))
                .find("[ABORT] ユーザーにより緊急停止シグナルが送信されました。"),
            std::string::npos);

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

  int progressMessages = 0, logMessages = 0, doneMessages = 0;
  std::wstring statusAfterProgress;
  MSG message;
  while (
      PeekMessageW(&message, h.app().mainWindow, WM_APP_PROGRESS, WM_APP_ERASE_DONE, PM_REMOVE)) {
    progressMessages += message.message == WM_APP_PROGRESS;
    logMessages += message.message == WM_APP_LOG;
    doneMessages += message.message == WM_APP_ERASE_DONE;
    DispatchMessageW(&message);
    if (message.message == WM_APP_PROGRESS)
      statusAfterProgress = h.Text(h.app().controls.statusLabel);
  }
  EXPECT_EQ(std::make_tuple(progressMessages, logMessages, doneMessages), std::make_tuple(1, 1, 1));
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

}  // namespace
}  // namespace tvde
