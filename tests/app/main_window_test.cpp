// The main window driven in-process: the launch interlock's refusals, the disk list under the
// environment rules, the settings round trip and the DPI re-layout.
#include <windows.h>

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

void RealWrite(AppHarness& h) {
  h.SelectCombo(kIdExecutionMode, 1);
}
void AnswerNo(AppHarness& h) {
  h.answer = [](const BoxCall&) { return IDNO; };
}

// Every refusal, cancel and No of the launch starts nothing; each shows its box (the busy refusal
// is WinPESection.BusyIsSharedWithTheEraseJob's).
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
      {"C: disk outside WinPE", [](AppHarness& h) { h.disks[0].driveLetters = L"c:, E:"; RealWrite(h); },
       kOsDiskRefusal, kOsDiskRefusalTitle, MB_OK | MB_ICONERROR},
      {"protected disk",
       [](AppHarness& h) {
         h.disks[0].safetyStatus = SafetyStatus::LockedInternal;
         h.disks[0].safetyReason = L"内蔵ディスク";
         RealWrite(h);
       },
       L"【安全保護ロック中】\n内蔵ディスク\n\n※テスト実行したい場合は動作モードを『安全シミュレーション(DryRun)』に切り替えてください。",
       kSafetyGuardTitle, warning},
      {"not administrator", [](AppHarness& h) { h.admin = false; RealWrite(h); }, kAdminRefusal, product, warning},
      {"wrong code", [](AppHarness& h) { SetText(h.app().controls.confirmCode, L"ERAZE"); }, kConfirmCodeRefusal,
       kConfirmCodeTitle, warning},
      {"worker thread refused", [](AppHarness& h) { h.threadsFail = true; }, kWorkerStartFailed, product,
       MB_OK | MB_ICONERROR, 0, 2},  // after the final confirmation
      {"folder question cancelled",
       [](AppHarness& h) { h.folderReason = L"CD-ROM"; h.answer = [](const BoxCall&) { return IDCANCEL; }; },
       folderQuestion, folder, MB_YESNOCANCEL | MB_ICONQUESTION},
      {"picker cancelled", [](AppHarness& h) { h.folderReason = L"RO"; }, L"", folder,
       MB_YESNOCANCEL | MB_ICONQUESTION, 1},
      // Past the interlock, the final confirmation answered No.
      {"simulation of a protected disk, zero fill",
       [](AppHarness& h) {
         h.disks[0].safetyStatus = SafetyStatus::ProtectedSystemDisk;
         h.folderReason = L"CD-ROM";  // answered No: kept
         h.SelectCombo(kIdStandard, 2);
         h.SelectCombo(kIdPostEraseState, 1);
         AnswerNo(h);
       },
       summary, kFinalConfirmationTitle, question, 0, 2},  // after the folder question
      // Without log output no folder question; a last random pass promises no all-zero disk.
      {"log output off, random data",
       [](AppHarness& h) {
         h.Click(kIdLogOutput);
         h.SelectCombo(kIdStandard, static_cast<int>(EraseStandard::CryptoRandom));
         h.SelectCombo(kIdPostEraseState, 1);
         h.folderReason = L"CD-ROM";
         AnswerNo(h);
       },
       L"・消去後の状態   : 通常通りディスクを完全消去した状態 (スタンプなし)\n・ログ/証明書保存: 無効 (画面レポート表示のみ)\n",
       kFinalConfirmationTitle, question},
      {"C: disk under WinPE, code in lower case",
       [](AppHarness& h) {
         h.winPE = true;
         h.disks[0].driveLetters = L"C:";
         SetText(h.app().controls.confirmCode, L"erase");
         RealWrite(h);
         AnswerNo(h);
       },
       L"", kFinalConfirmationTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2},
      // clang-format on
  };
  for (const auto& c : cases) {
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
    std::string text = U8(c.text);
    if (const size_t at = text.find("{certs}"); at != std::string::npos)
      text.replace(at, 7, U8(h.certificateFolder()));
    EXPECT_NE(U8(box.text).find(text), std::string::npos) << U8(box.text);
    EXPECT_EQ(U8(box.title), U8(c.title));
    EXPECT_EQ(box.flags, c.flags);
    EXPECT_EQ(h.boxes.size(), c.boxes);
    EXPECT_EQ(h.jobsStarted, 0);
    EXPECT_EQ(h.pickerCalls, c.pickerCalls);
    EXPECT_TRUE(IsWindowEnabled(h.Control(kIdStartErase)));
    EXPECT_FALSE(IsWindowEnabled(h.Control(kIdAbort)));
    EXPECT_FALSE(h.app().eraseWorker.joinable());
  }
}

TEST(MainWindowDiskList, RefreshFollowsTheEnvironmentAndTheCheckBoxes) {
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
}

TEST(MainWindowSettings, ControlsComeBackOnTheNextStartAndFollowTheDpi) {
  AppHarness h;
  h.Start();
  using C = MainControls;
  // clang-format off
  const std::pair<HWND C::*, const wchar_t*> edits[] = {
      {&C::operatorName, L"山田 太郎"}, {&C::organization, L"情報システム部"}, {&C::logFolder, L"D:\\証明書"},
      {&C::notes, L"社内PC・ストレージ廃棄/再利用前サニタイズ処理 (NIST SP 800-88 Rev.1)"}};  // not kept
  const std::tuple<int, HWND C::*, int> combos[] = {{kIdStandard, &C::standard, 5}, {kIdVerify, &C::verify, 2},
      {kIdExecutionMode, &C::executionMode, 1}, {kIdPostEraseState, &C::postEraseState, 1}};
  // clang-format on
  for (const auto& [slot, text] : edits)
    SetText(h.app().controls.*slot, slot == &C::notes ? L"not persisted" : text);
  for (const auto& [id, slot, index] : combos)
    h.SelectCombo(id, index);
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

  // A DPI change lays the controls and their fonts out again.
  const auto widthAndFont = [button = next.startErase] {
    RECT rect{};
    GetWindowRect(button, &rect);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)), sizeof font, &font);
    return std::make_pair(rect.right - rect.left, font.lfHeight);
  };
  ASSERT_EQ(h.app().dpi, 96u);
  EXPECT_EQ(widthAndFont(), std::make_pair(240L, 15L));
  RECT suggested{0, 0, 1733, 1298};
  SendMessageW(h.app().mainWindow, WM_DPICHANGED, MAKEWPARAM(144, 144),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(widthAndFont(), std::make_pair(360L, 23L));  // x 1.5, the font rounded
}

}  // namespace
}  // namespace tvde
