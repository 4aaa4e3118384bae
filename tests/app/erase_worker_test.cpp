// Jobs launched through the main window: a simulation and a real write on an image file run to
// the report, abort and close stop them, a burst of progress cannot flood the queue; the report
// buttons before any job.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <regex>

#include "app/win_controls.h"
#include "app_harness.h"
#include "job/erase_job_driver.h"
#include "stamp/stamp_detect.h"
#include "support/file_bytes.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::AppHarness;
using testing::BoxCall;
using testing::TestDisk;
using testing::U8;

constexpr const char* kCompleted =
    "完了 (COMPLETED) - 実機消去証明＆ハードウェアレポートを発行しました！";

int BarPosition(HWND bar) {
  return static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
}

// "[YYYY-MM-DD HH:MM:SS] " in front of every console line.
bool HasTimeStamp(const std::wstring& line) {
  static const std::wregex stamp(L"\\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\] .*");
  return std::regex_match(line, stamp);
}

size_t IndexOfLineContaining(const std::vector<std::wstring>& lines, const std::string& text) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (U8(lines[i]).find(text) != std::string::npos) return i;
  return lines.size();
}

TEST(EraseThroughWindow, SimulationRunsToTheReport) {
  AppHarness h;
  h.disks = {TestDisk(3, L"unused", 32ull << 30)};
  h.Start();
  h.SelectCombo(kIdStandard, 2);  // zero fill: one pass
  h.Click(kIdStartErase);
  EXPECT_FALSE(IsWindowEnabled(h.Control(kIdStartErase)));
  EXPECT_TRUE(IsWindowEnabled(h.Control(kIdAbort)));
  ASSERT_TRUE(h.WaitForIdle());

  App& app = h.app();
  EXPECT_EQ(BarPosition(app.controls.passBar), 100);
  EXPECT_EQ(BarPosition(app.controls.overallBar), 100);
  EXPECT_EQ(U8(h.Text(app.controls.statusLabel)), kCompleted);
  EXPECT_TRUE(IsWindowEnabled(h.Control(kIdStartErase)));
  EXPECT_EQ(h.enumerations.size(), 2u);  // refreshed after the job

  ASSERT_EQ(h.reportRequests.size(), 1u);
  const ReportDialogRequest& request = h.reportRequests[0];
  ASSERT_TRUE(request.result.has_value());
  const ReportData& result = *request.result;
  EXPECT_EQ(result.statusCode, kStatusCompleted);
  EXPECT_EQ(U8(result.config.outputFolder), U8(h.certificateFolder()));
  EXPECT_EQ(U8(result.config.notes),
            "社内PC・ストレージ廃棄/再利用前サニタイズ処理 (NIST SP 800-88 Rev.1)");
  EXPECT_EQ(U8(request.payload.certificateId), U8(result.certificateId));
  ASSERT_TRUE(request.disk.has_value());
  EXPECT_EQ(request.disk->diskNumber, 3);
  EXPECT_TRUE(std::filesystem::exists(result.htmlPath));

  // Every line time-stamped, the job's lines between the start-up lines and the outcome.
  const std::vector<std::wstring> lines = h.ConsoleLines();
  for (const std::wstring& line : lines)
    EXPECT_TRUE(HasTimeStamp(line)) << U8(line);
  const size_t banner = IndexOfLineContaining(lines, "=== [安全シミュレーション(Dry-Run)モード]");
  const size_t stamp =
      IndexOfLineContaining(lines, "[DISK STAMP] 実機消去＆ハードウェアレポート画面スタンプ");
  ASSERT_EQ(banner, 2u);
  EXPECT_LT(banner, stamp);
  EXPECT_EQ(U8(lines[lines.size() - 2].substr(22)),
            "[CERTIFICATE] 証明書・監査ログ保存完了: " + U8(result.htmlPath));
  EXPECT_EQ(U8(lines.back().substr(22)), "[SHA-256] " + U8(result.sha256Fingerprint));

  h.Click(kIdOpenCertificate);
  ASSERT_EQ(h.opened.size(), 1u);
  EXPECT_EQ(U8(h.opened[0]), U8(result.htmlPath));
}

TEST(EraseThroughWindow, RealWriteOnAnImageFileOverwritesStampsAndReports) {
  AppHarness h;
  const std::wstring image = h.temp().File("disk.img");
  constexpr size_t kSize = 8u << 20;
  testing::WriteFilledFile(image, kSize, 0xA5);
  const DiskInfo disk = TestDisk(4, image, kSize);
  h.disks = {disk};
  h.Start();
  h.SelectCombo(kIdStandard, 2);
  h.SelectCombo(kIdExecutionMode, 1);
  h.Click(kIdStartErase);
  ASSERT_FALSE(h.boxes.empty());
  EXPECT_EQ(h.boxes.back().flags, UINT{MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2});
  ASSERT_TRUE(h.WaitForIdle(60000));

  ASSERT_EQ(h.reportRequests.size(), 1u);
  const ReportData& result = *h.reportRequests[0].result;
  EXPECT_EQ(result.statusCode, kStatusCompleted);
  EXPECT_EQ(U8(result.diskStampStatus), U8(kStampActive));
  const std::vector<uint8_t> bytes = testing::ReadWholeFile(image);
  ASSERT_EQ(bytes.size(), kSize);
  EXPECT_EQ(bytes[510], 0x55);
  EXPECT_EQ(bytes[511], 0xAA);
  EXPECT_TRUE(testing::AllZero(bytes, 128u << 10, kSize));  // past the stamp: the zero pass
  const StampPayload stamp = DetectDiskStamp(disk, HardwareProfile{});
  EXPECT_EQ(stamp.incomplete, 0);
  EXPECT_EQ(U8(stamp.certificateId), U8(result.certificateId));
  for (const std::wstring& report : {result.htmlPath, result.txtPath, result.jsonPath}) {
    EXPECT_TRUE(std::filesystem::exists(report)) << U8(report);
    EXPECT_EQ(std::filesystem::path(report).parent_path(), h.temp().path() / "certs");
  }
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
  EXPECT_EQ(U8(h.Text(app.controls.statusLabel)),
            "中断 (CANCELLED) - ユーザーによって停止されました。");
  EXPECT_EQ(U8(h.boxes.back().text), "消去処理を中断しました。中断ログが保存されました。");
  EXPECT_EQ(h.boxes.back().flags, UINT{MB_OK | MB_ICONWARNING});
  EXPECT_TRUE(IsWindowEnabled(h.Control(kIdStartErase)));
  EXPECT_FALSE(IsWindowEnabled(h.Control(kIdAbort)));
  EXPECT_EQ(h.enumerations.size(), 2u);  // the list is refreshed
  EXPECT_TRUE(h.reportRequests.empty());
  const std::vector<std::wstring> lines = h.ConsoleLines();
  EXPECT_LT(
      IndexOfLineContaining(
          lines, "[ABORT] ユーザーにより緊急停止シグナルが送信されました。安全に停止しています..."),
      lines.size());

  // Closing while the next job runs: No keeps it running; Yes cancels, saves and joins.
  endedWith = 0;
  ASSERT_TRUE(startAndWaitForProgress());
  SetText(app.controls.operatorName, L"閉じる担当");
  h.answer = [](const BoxCall&) { return IDNO; };
  SendMessageW(app.mainWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(U8(h.boxes.back().text), "現在処理が実行中です。強制終了してもよろしいですか？");
  EXPECT_EQ(h.boxes.back().flags, UINT{MB_YESNO | MB_ICONWARNING});
  EXPECT_TRUE(app.windowAlive);
  EXPECT_EQ(app.cancelRequested.load(), 0);
  h.answer = [](const BoxCall&) { return IDYES; };
  SendMessageW(app.mainWindow, WM_CLOSE, 0, 0);
  EXPECT_FALSE(app.windowAlive);
  EXPECT_EQ(app.cancelRequested.load(), 1);
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
  EXPECT_EQ(progressMessages, 1);
  EXPECT_EQ(logMessages, 1);
  EXPECT_EQ(doneMessages, 1);
  // The one progress message showed the newest record.
  EXPECT_EQ(U8(statusAfterProgress),
            "burst 9999  |  現在パス: 0%  |  全体進捗: 99%  |  処理速度: 12.5 MB/s");
  EXPECT_EQ(h.reportRequests.size(), 1u);
  std::vector<std::wstring> burst;
  for (const std::wstring& line : h.ConsoleLines())
    if (line.find(L"burst line ") != std::wstring::npos) burst.push_back(line.substr(22));
  ASSERT_EQ(burst.size(), 1000u);
  for (size_t i = 0; i < burst.size(); ++i)
    EXPECT_EQ(U8(burst[i]), "burst line " + std::to_string(i));
}

TEST(EraseThroughWindow, ReportButtonsWithoutAFinishedJob) {
  AppHarness h;
  h.disks = {TestDisk(3, L"unused", 1ull << 30)};
  h.detectedStamp.incomplete = 0;
  h.detectedStamp.certificateId = L"TVDE-20250101-000000-00000000";
  h.Start();
  h.Click(kIdOpenCertificate);
  EXPECT_EQ(h.boxes.back().flags, UINT{MB_OK | MB_ICONINFORMATION});
  EXPECT_EQ(U8(h.boxes.back().text)
                .rfind("まだこのセッションで保存されたHTML消去証明書ファイルがありません。\n", 0),
            0u);
  EXPECT_TRUE(h.opened.empty());

  h.Click(kIdReportDialog);  // the selected disk's stamp is read instead
  ASSERT_EQ(h.reportRequests.size(), 1u);
  EXPECT_FALSE(h.reportRequests[0].result.has_value());
  EXPECT_EQ(h.reportRequests[0].disk->diskNumber, 3);
  EXPECT_EQ(U8(h.reportRequests[0].payload.certificateId), "TVDE-20250101-000000-00000000");
  EXPECT_EQ(U8(h.ConsoleLines().back().substr(22)),
            "[DISK STAMP] Disk 3 から実機消去＆ハードウェアレポートスタンプを検出しました！");
}

}  // namespace
}  // namespace tvde
