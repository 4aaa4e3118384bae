// The main window driven in-process: the launch interlock's refusals, the disk list under the
// environment rules, the settings round trip and the DPI re-layout.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include "app/erase_launch_texts.h"
#include "app/win_controls.h"
#include "app_harness.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::AppHarness;
using testing::BoxCall;
using testing::TestDisk;
using testing::U8;

struct InterlockCase {
  const char* name;
  std::function<void(AppHarness&)> arrange;
  std::wstring text;  // empty: only the title and flags are checked
  std::wstring title;
  UINT flags;
  int pickerCalls = 0;
};

void RealWrite(AppHarness& h) {
  h.SelectCombo(kIdExecutionMode, 1);
}

TEST(MainWindowInterlock, EveryRefusalShowsItsBoxAndStartsNothing) {
  const std::wstring guard = L"Toreval Safety Guard";
  const std::wstring product = L"Toreval Disk Eraser";
  const std::vector<InterlockCase> cases = {
      {"busy", [](AppHarness& h) { h.app().busy = 1; }, L"現在別の処理が実行中です。", product,
       MB_OK | MB_ICONWARNING},
      {"no disk", [](AppHarness& h) { h.disks.clear(); },
       L"消去対象のディスクを一覧から選択してください。", product, MB_OK | MB_ICONWARNING},
      {"C: disk outside WinPE",
       [](AppHarness& h) {
         h.disks[0].driveLetters = L"c:, E:";
         RealWrite(h);
       },
       kOsDiskRefusal, L"Toreval Safety Guard - OS起動ディスク保護", MB_OK | MB_ICONERROR},
      {"protected disk",
       [](AppHarness& h) {
         h.disks[0].safetyStatus = SafetyStatus::LockedInternal;
         h.disks[0].safetyReason = L"内蔵ディスク";
         RealWrite(h);
       },
       L"【安全保護ロック中】\n内蔵ディスク\n\n※テスト実行したい場合は動作モードを『安全シミュレーション(DryRun)』に切り替えてください。",
       guard, MB_OK | MB_ICONWARNING},
      {"not administrator",
       [](AppHarness& h) {
         h.admin = false;
         RealWrite(h);
       },
       L"実機物理セクタ消去を行うには管理者権限が必要です。\n右上の「管理者権限で再起動」ボタンを押してください。",
       product, MB_OK | MB_ICONWARNING},
      {"wrong code", [](AppHarness& h) { SetText(h.app().controls.confirmCode, L"ERAZE"); },
       L"安全確認コード欄に「ERASE」と入力してください。\n誤操作防止のためのインターロック機構です。",
       L"確認コード未入力", MB_OK | MB_ICONWARNING},
      {"worker thread refused", [](AppHarness& h) { h.threadsFail = true; },
       L"消去処理を開始できませんでした (ワーカースレッドを作成できません)。", product,
       MB_OK | MB_ICONERROR},
      {"empty code", [](AppHarness& h) { SetText(h.app().controls.confirmCode, L""); }, L"",
       L"確認コード未入力", MB_OK | MB_ICONWARNING},
      {"folder question cancelled",
       [](AppHarness& h) {
         h.folderReason = L"読み取り専用";
         h.answer = [](const BoxCall&) { return IDCANCEL; };
       },
       L"", L"ログ保存先の確認", MB_YESNOCANCEL | MB_ICONQUESTION},
      {"picker cancelled", [](AppHarness& h) { h.folderReason = L"読み取り専用"; }, L"",
       L"ログ保存先の確認", MB_YESNOCANCEL | MB_ICONQUESTION, 1},
      // Past the interlock, the final confirmation answered No.
      {"simulation of a protected disk",
       [](AppHarness& h) {
         h.disks[0].safetyStatus = SafetyStatus::ProtectedSystemDisk;
         h.answer = [](const BoxCall&) { return IDNO; };
       },
       L"", L"最終確認 - Toreval Disk Eraser", MB_YESNO | MB_ICONQUESTION},
      {"C: disk under WinPE, code in lower case",
       [](AppHarness& h) {
         h.winPE = true;
         h.disks[0].driveLetters = L"C:";
         SetText(h.app().controls.confirmCode, L"erase");
         RealWrite(h);
         h.answer = [](const BoxCall&) { return IDNO; };
       },
       L"", L"最終確認 - Toreval Disk Eraser", MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2},
  };
  for (const InterlockCase& c : cases) {
    SCOPED_TRACE(c.name);
    AppHarness h;
    h.disks = {TestDisk(3, h.temp().File("disk.img"), 64ull << 20)};
    h.Start();
    c.arrange(h);  // the environment answers are taken again by the refresh below
    h.app().isWinPE = h.winPE ? 1 : 0;
    h.app().isAdmin = h.admin ? 1 : 0;
    h.Click(kIdRescan);
    h.boxes.clear();
    h.Click(kIdStartErase);
    ASSERT_FALSE(h.boxes.empty());
    const BoxCall& box = h.boxes.back();
    if (!c.text.empty()) {
      EXPECT_EQ(U8(box.text), U8(c.text));
    }
    EXPECT_EQ(U8(box.title), U8(c.title));
    EXPECT_EQ(box.flags, c.flags);
    EXPECT_EQ(h.jobsStarted, 0);
    EXPECT_EQ(h.pickerCalls, c.pickerCalls);
    EXPECT_TRUE(IsWindowEnabled(h.Control(kIdStartErase)));
    EXPECT_FALSE(IsWindowEnabled(h.Control(kIdAbort)));
    EXPECT_FALSE(h.app().eraseWorker.joinable());
    h.app().busy = 0;
  }
}

TEST(MainWindowInterlock, ConfirmationSummarisesTheJobAndTheFolderQuestionNamesTheFolder) {
  AppHarness h;
  h.disks = {TestDisk(3, h.temp().File("disk.img"), 64ull << 20)};
  h.folderReason = L"CD-ROM";
  h.answer = [](const BoxCall&) { return IDNO; };
  h.Start();
  h.SelectCombo(kIdStandard, 2);
  h.SelectCombo(kIdPostEraseState, 1);
  h.Click(kIdStartErase);
  ASSERT_EQ(h.boxes.size(), 2u);
  const std::string folder = U8(h.certificateFolder());
  EXPECT_EQ(
      U8(h.boxes[0].text),
      "【ログ・証明書の保存先確認 (ISO/CD・DVD / WinPE起動サポート)】\n現在の保存先: " + folder +
          "\n理由: CD-ROM\n\n・[はい (Yes)]   : 今すぐ書き込み可能な保存先 (USBメモリ等) を指定する\n"
          "・[いいえ (No)]  : このまま続行する (消去完了後のレポート画面からも別ドライブへ保存可能)\n"
          "・[キャンセル]   : 消去を中止する");
  EXPECT_EQ(
      U8(h.boxes[1].text),
      "以下の内容でデータ消去プロセスを開始します。よろしいですか？\n\n・対象ディスク   : Disk 3 (Toreval Test Disk 3)\n"
      "・容量 / ドライブ: 64.0 MB / E:\n・消去規格       : " +
          U8(StandardLabel(EraseStandard::ZeroFill)) +
          "\n・消去後の状態   : 通常通りディスクを完全消去した状態 (全セクタ0x00・スタンプなし)\n"
          "・ログ/証明書保存: 有効 (保存先: " +
          folder + ")\n・実行モード     : 【安全シミュレーション(DryRun) - 実データは消えません】");
  EXPECT_EQ(h.jobsStarted, 0);

  // Log output switched off: no folder question, and the summary says so. A last pass of random
  // data leaves no all-zero disk to promise.
  h.boxes.clear();
  h.Click(kIdLogOutput);  // unchecks the box
  h.SelectCombo(kIdStandard, static_cast<int>(EraseStandard::CryptoRandom));
  h.Click(kIdStartErase);
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_NE(U8(h.boxes[0].text)
                .find("・消去後の状態   : 通常通りディスクを完全消去した状態 (スタンプなし)\n"
                      "・ログ/証明書保存: 無効 (画面レポート表示のみ)\n"),
            std::string::npos);
}

TEST(MainWindowDiskList, RefreshFollowsTheEnvironmentAndTheCheckBoxes) {
  AppHarness h;
  DiskInfo system = TestDisk(0, L"unused", 256ull << 30);
  system.driveLetters = L"C:";
  system.safetyStatus = SafetyStatus::ProtectedSystemDisk;
  system.safetyReason = L"OS";
  system.mediaType = MediaKind::NvmeSsd;
  h.disks = {system, TestDisk(1, L"unused", 1ull << 30)};
  h.admin = false;
  h.Start();
  App& app = h.app();
  EXPECT_EQ(h.enumerations.back(), std::make_pair(0, 0));
  EXPECT_EQ(U8(h.Text(app.controls.environmentLabel)),
            "稼働環境: [通常 Windows OS モード] 外部USB/リムーバブル消去 ＆ WinPE作成");
  EXPECT_EQ(U8(h.Text(app.controls.privilegeLabel)), "権限状態: [標準ユーザー (実機消去は要昇格)]");
  EXPECT_TRUE(IsWindowEnabled(app.controls.restartAsAdmin));
  EXPECT_EQ(app.selectedDiskIndex, 0);
  EXPECT_EQ(U8(h.Text(app.controls.selectionLabel)),
            "選択: Disk 0 (Toreval Test Disk 0)" + U8(RecommendationSuffix(MediaKind::NvmeSsd)));
  EXPECT_EQ(ListView_GetItemCount(app.controls.diskList), 2);

  h.Click(kIdWinPESimulation);
  EXPECT_EQ(h.enumerations.back(), std::make_pair(1, 0));
  EXPECT_EQ(U8(h.Text(app.controls.environmentLabel)),
            "稼働環境: [WinPE スタンドアロンモード] 内蔵SSD/HDDの完全消去が可能");
  EXPECT_EQ(
      U8(app.disks[0].safetyReason),
      "[WinPEシミュレーション] 実WinPE起動時は消去可能 (現在はWindows稼働中のためSimulationのみ許可)");
  EXPECT_EQ(U8(app.disks[1].safetyReason), "");

  h.disks.clear();
  h.Click(kIdUnlockInternal);
  EXPECT_EQ(h.enumerations.back(), std::make_pair(1, 1));
  EXPECT_EQ(app.selectedDiskIndex, -1);
  EXPECT_EQ(U8(h.Text(app.controls.selectionLabel)), "ディスクが選択されていません。");
}

TEST(MainWindowSettings, ControlsAreSavedAndComeBackOnTheNextStart) {
  AppHarness h;
  h.Start();
  App& app = h.app();
  SetText(app.controls.operatorName, L"山田 太郎");
  SetText(app.controls.organization, L"情報システム部");
  SetText(app.controls.logFolder, L"D:\\証明書");
  SetText(app.controls.notes, L"not persisted");
  h.SelectCombo(kIdStandard, 5);
  h.SelectCombo(kIdVerify, 2);
  h.SelectCombo(kIdExecutionMode, 1);
  h.SelectCombo(kIdPostEraseState, 1);
  EXPECT_EQ(U8(h.Text(app.controls.standardDescription)),
            U8(StandardDescription(EraseStandard::HmgIs5Enhanced)));
  h.Click(kIdLogOutput);  // unchecked: the folder controls go grey and the choice is saved
  for (HWND control :
       {app.controls.logFolder, app.controls.changeLogFolder, app.controls.openLogFolder})
    EXPECT_FALSE(IsWindowEnabled(control));
  EXPECT_EQ(LoadSettingsFrom(h.store).enableLogOutput, 1);
  h.Stop();  // closing saves the rest

  h.Start();
  App& next = h.app();
  EXPECT_EQ(U8(h.Text(next.controls.operatorName)), "山田 太郎");
  EXPECT_EQ(U8(h.Text(next.controls.organization)), "情報システム部");
  EXPECT_EQ(U8(h.Text(next.controls.logFolder)), "D:\\証明書");
  EXPECT_EQ(U8(h.Text(next.controls.notes)),
            "社内PC・ストレージ廃棄/再利用前サニタイズ処理 (NIST SP 800-88 Rev.1)");
  EXPECT_EQ(ComboSelection(next.controls.standard), 5);
  EXPECT_EQ(ComboSelection(next.controls.verify), 2);
  EXPECT_EQ(ComboSelection(next.controls.executionMode), 1);
  EXPECT_EQ(ComboSelection(next.controls.postEraseState), 1);
  EXPECT_FALSE(IsChecked(next.controls.logOutput));
  EXPECT_FALSE(IsWindowEnabled(next.controls.logFolder));
  EXPECT_FALSE(IsWindowEnabled(next.controls.openLogFolder));

  // The folder picker's answer goes into the edit, the settings and the log.
  h.Click(kIdLogOutput);
  h.pickerAnswer = L"E:\\Toreval_Erasure_Logs";
  h.Click(kIdChangeLogFolder);
  EXPECT_EQ(U8(LoadSettingsFrom(h.store).certOutputDir), "E:\\Toreval_Erasure_Logs");
  EXPECT_NE(U8(h.ConsoleLines().back())
                .find("[LOG PATH] 証明書・監査ログ保存先を変更しました: E:\\Toreval_Erasure_Logs"),
            std::string::npos);
}

TEST(MainWindowLayout, ControlsAndFontsFollowTheWindowsDpi) {
  AppHarness h;
  h.Start();
  App& app = h.app();
  const auto width = [](HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    return rect.right - rect.left;
  };
  const auto fontHeight = [](HWND control) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font.lfHeight;
  };
  ASSERT_EQ(app.dpi, 96u);
  EXPECT_EQ(width(app.controls.startErase), 240);
  EXPECT_EQ(fontHeight(app.controls.startErase), 15);
  EXPECT_EQ(ListView_GetColumnWidth(app.controls.diskList, 7), 255);

  RECT suggested{0, 0, 1733, 1298};
  SendMessageW(app.mainWindow, WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(width(app.controls.startErase), 360);
  EXPECT_EQ(width(app.controls.logConsole), 1620);
  EXPECT_EQ(fontHeight(app.controls.startErase), 23);  // 15 x 1.5, rounded
  EXPECT_EQ(fontHeight(app.controls.logConsole), 21);
  EXPECT_EQ(ListView_GetColumnWidth(app.controls.diskList, 7), 383);
}

}  // namespace
}  // namespace tvde
