// The folder picker and the report and stamp dialog, driven through their own modal loops with
// the harness's seam answering every prompt.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/folder_picker.h"
#include "app/report_dialog.h"
#include "app/win_controls.h"
#include "app_harness.h"
#include "base/drive_strings.h"
#include "report/report_labels.h"
#include "stamp/stamp_detect.h"
#include "support/file_bytes.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::AppHarness;
using testing::BoxCall;
using testing::DriveModal;
using testing::U8;
namespace fs = std::filesystem;
using Step = std::function<void(HWND)>;

void Click(HWND window, int id) {
  SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
}
void PressKey(HWND window, int id, WPARAM key) {  // through the window's loop
  PostMessageW(GetDlgItem(window, id), WM_KEYDOWN, key, 0);
}
// A folder under a plain file: it can never be made.
std::wstring UnwritableFolder(const AppHarness& h) {
  std::ofstream(h.temp().path() / "plain-file") << "x";
  return h.temp().File("plain-file\\logs");
}

TEST(FolderPicker, VerdictsRowsAndTheFolderCheck) {
  const std::pair<UINT, wchar_t> drives[] = {{DRIVE_CDROM, L'X'},     {DRIVE_FIXED, L'x'},
                                             {DRIVE_REMOVABLE, L'E'}, {DRIVE_FIXED, L'C'},
                                             {DRIVE_REMOTE, L'N'},    {DRIVE_UNKNOWN, L'Q'}};
  std::string tags;
  for (const auto& [type, letter] : drives)
    tags += U8(DriveVerdictTag(type, letter)) + "|";
  EXPECT_EQ(
      tags,
      "[CD/DVD/ISO 読取専用 - 保存不可]|[WinPE RAMディスク - 電源OFFで消去]|★推奨 "
      "[USB/リムーバブル - 書込可能]|[ローカル/外付け固定ドライブ - 書込可能]|[ネットワークドライブ - "
      "書込可能]|[ドライブ]|");
  EXPECT_EQ(U8(DriveRowText({L"E:\\", DRIVE_REMOVABLE, L"", L"", 64ull << 20})),
            "E:\\  ★推奨 [USB/リムーバブル - 書込可能]  Label: (なし) (RAW, 空き: 64.0 MB)  ->  "
            "E:\\Toreval_Erasure_Logs");

  // clang-format off
  const std::tuple<const wchar_t*, bool, const char*> cases[] = {
      {L"Logs", false, "相対パスまたは無効なパスです。"},
      {L"C:\\Logs", true, "unchanged"},
      {L"d:\\Logs", false, "D:\\ は CD/DVD/ISO 読み取り専用ドライブのため書き込みできません。"},
      {L"x:\\Logs", true, "X:\\ は WinPE の一時RAMディスクのため、PCを再起動・電源OFFすると保存したログが消えてしまいます。"},
      {L"X:\\Logs", false, "unchanged"}};
  // clang-format on
  const auto driveTypeOf = [](const std::wstring& root) {
    return root == L"D:\\" ? UINT{DRIVE_CDROM} : UINT{DRIVE_FIXED};
  };
  for (const auto& [folder, winPE, expected] : cases) {
    std::wstring reason = L"unchanged";
    const bool flagged = CheckOutputFolderWith(folder, reason, driveTypeOf, winPE);
    EXPECT_EQ(flagged, std::string(expected) != "unchanged") << U8(folder);
    EXPECT_EQ(U8(reason), expected) << U8(folder);
  }
  std::wstring reason;
  EXPECT_FALSE(CheckOutputFolder(L"C:\\Logs", reason));  // Wine's C: is a fixed drive
}

TEST(FolderPicker, RefusalsKeepItOpenEnterAcceptsATrimmedFolderAndEveryOtherWayOutIsNothing) {
  const auto roots = QueryLogicalDriveRoots();
  ASSERT_TRUE(roots && !roots->empty() && (*roots)[0] == L"C:\\");
  const std::pair<bool, Step> ways[] = {
      {true, [](HWND w) { PressKey(w, kIdPickerPath, VK_RETURN); }},
      {false, [](HWND w) { Click(w, kIdPickerCancel); }},
      {false, [](HWND w) { SendMessageW(w, WM_CLOSE, 0, 0); }},
      {false, [](HWND w) { PressKey(w, kIdPickerPath, VK_ESCAPE); }}};
  for (const auto& [accepts, leave] : ways) {
    AppHarness h;
    const std::wstring folder = h.temp().File("a\\b");
    std::wstring chosen = L"not returned";
    const AppServices services = h.Services();
    DriveModal(
        kFolderPickerClass,
        [&] { chosen = PickOutputFolder(nullptr, L"C:\\start", services.messageBox); },
        {[&](HWND w) {
           EXPECT_EQ(U8(GetText(GetDlgItem(w, kIdPickerPath), 260)), "C:\\start");
           const HWND list = GetDlgItem(w, kIdPickerDriveList);
           EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);  // none preselected
           EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(roots->size()));
           // Rows longer than the box scroll sideways rather than being cut off.
           EXPECT_GT(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), 0);
           SendMessageW(list, LB_SETCURSEL, 0, 0);
           SendMessageW(w, WM_COMMAND, MAKEWPARAM(kIdPickerDriveList, LBN_SELCHANGE), 0);
           EXPECT_EQ(U8(GetText(GetDlgItem(w, kIdPickerPath), 260)), "C:\\Toreval_Erasure_Logs");
           for (const std::wstring& refused : {std::wstring(L"  \t "), UnwritableFolder(h)}) {
             SetText(GetDlgItem(w, kIdPickerPath), refused);
             Click(w, kIdPickerAccept);
           }
           EXPECT_TRUE(IsWindow(w));
           SetText(GetDlgItem(w, kIdPickerPath), L" \t" + folder + L" \r\n");
         },
         leave});
    EXPECT_EQ(U8(chosen), accepts ? U8(folder) : "");
    EXPECT_EQ(fs::is_directory(h.temp().path() / "a" / "b"), accepts);
    EXPECT_FALSE(fs::exists(h.temp().path() / "a" / "b" / "_tvde_write_test.tmp"));
    ASSERT_EQ(h.boxes.size(), 2u);
    EXPECT_EQ(U8(h.boxes[0].title + L"|" + h.boxes[0].text),
              "Toreval Disk Eraser|保存先フォルダパスを入力または選択してください。");
    EXPECT_EQ(U8(h.boxes[1].title), "書き込み不可エラー");
    EXPECT_EQ(h.boxes[1].flags, UINT{MB_OK | MB_ICONERROR});
  }
}

ReportDialogState& StateOf(HWND window) {
  return *reinterpret_cast<ReportDialogState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

StampPayload PreviewPayload() {  // incomplete, without certificate ID
  StampPayload payload;
  payload.diskModel = L"Toreval Test Disk";
  payload.hardware.manufacturer = L"Toreval Lab";  // nothing left to collect
  payload.hardware.storageController = L"Test HBA";
  return payload;
}

ReportData VerifiedZeroFill(const DiskInfo& disk) {
  ReportData job;
  job.certificateId = L"TVDE-20260101-120000-0A0B0C0D";
  job.startTime = job.endTime = L"2026-01-01 12:00:00";
  job.statusCode = kStatusCompleted;
  job.passesCompleted = job.passesPlanned = 1;
  job.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
  job.config.disk = disk;
  job.config.standard = EraseStandard::ZeroFill;
  job.config.executionMode = ExecutionMode::RealWrite;
  job.config.logOutputDisabled = 1;  // the job wrote no files
  job.stamp = PreviewPayload();
  job.stamp.incomplete = 0;
  job.stamp.certificateId = job.certificateId;
  job.stamp.verification = job.verificationResult;
  job.stamp.standardName = StandardLabel(EraseStandard::ZeroFill);
  job.stamp.passesCompleted = 1;
  return job;
}

void OpenDialog(AppHarness& h, const ReportDialogRequest& request, std::vector<Step> steps,
                HWND parent = nullptr) {
  const AppServices services = h.Services();
  DriveModal(
      kReportDialogClass, [&] { ShowReportDialog(parent, request, services); }, std::move(steps));
}

TEST(ReportDialog, BadgeAndAllZeroSayNoMoreThanTheJobDid) {
  const wchar_t* passed = L"PASSED (All Sampled Sectors Verified Clean)";
  const auto real = ExecutionMode::RealWrite;
  // clang-format off
  const COLORREF green = RGB(0x10, 0xb9, 0x81), amber = RGB(0xf5, 0x9e, 0x0b), neutral = RGB(0x94, 0xa3, 0xb8);
  const std::tuple<int32_t, ExecutionMode, EraseStandard, const wchar_t*, const char*, COLORREF, bool> cases[] = {
      {1, real, EraseStandard::ZeroFill, L"", "● HARDWARE PREVIEW", amber, false},
      {0, real, EraseStandard::ZeroFill, passed, "★ SANITIZED & VERIFIED", green, true},
      {0, real, EraseStandard::CryptoRandom, passed, "★ SANITIZED & VERIFIED", green, false},
      {0, real, EraseStandard::ZeroFill, L"SKIPPED (検証なし設定)", "★ SANITIZED, UNVERIFIED", amber, false},
      {0, ExecutionMode::Simulation, EraseStandard::ZeroFill, L"PASSED (Simulation 100% Verified)",
       "● SIMULATION (DRY-RUN)", neutral, false},
      {0, real, EraseStandard::ZeroFill, passed, "★ HIDDEN SECTORS NOT ERASED", amber, false}};
  // clang-format on
  for (const auto& [incomplete, mode, standard, verdict, badge, colour, allZero] : cases) {
    ReportDialogState state;
    state.payload.incomplete = incomplete;
    state.payload.verification = verdict;
    state.hasReport = true;
    state.report.config.executionMode = mode;
    state.report.config.standard = standard;
    if (std::string_view(badge).starts_with("★ HIDDEN"))
      state.report.firmware.hiddenArea =
          L"DCO restriction: 8 sectors" + std::wstring(kDcoNotErasedNote);
    EXPECT_EQ(U8(BadgeOf(state).text), badge);
    EXPECT_EQ(BadgeOf(state).colour, colour) << badge;
    EXPECT_EQ(ClaimsAllZero(state), allZero) << badge;
    if (!state.report.firmware.hiddenArea.empty()) continue;
    state.hasReport = false;  // a stamp read back from a disk names only the standard
    state.payload.standardName = StandardLabel(standard);
    EXPECT_EQ(ClaimsAllZero(state), allZero && mode == real) << badge;
  }
}

TEST(ReportDialog, FitsTheWorkAreaEscapeLeavesFullScreenOnlyAndCopyFillsTheClipboard) {
  AppHarness h;
  const ReportData job = VerifiedZeroFill(testing::TestDisk(4, L"unused.img", 64ull << 20));
  RECT normal{};
  bool lastStepPlayed = false;
  // A parent another modal window disabled stays disabled when this one closes.
  const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_DISABLED, 0, 0, 9, 9,
                                      nullptr, nullptr, nullptr, nullptr);
  h.workArea = {0, 0, 800, 600};  // smaller than the design: scaled down, all buttons shown
  OpenDialog(
      h, {job.stamp, L"", job, std::nullopt, {}, {}},
      {[&](HWND w) {
         Click(w, kIdReportCopy);
         GetWindowRect(w, &normal);
         RECT close{}, inside{};
         GetWindowRect(GetDlgItem(w, kIdReportClose), &close);
         IntersectRect(&inside, &close, &normal);
         EXPECT_TRUE(normal.right <= 800 && normal.bottom <= 600 && EqualRect(&inside, &close));
         // Side by side, none over another.
         RECT previous{};
         for (int32_t id : {kIdReportFullScreen, kIdReportSaveElsewhere, kIdReportStampSwitch,
                            kIdReportOpenHtml, kIdReportCopy, kIdReportClose}) {
           RECT button{};
           GetWindowRect(GetDlgItem(w, id), &button);
           EXPECT_GT(button.left, previous.right) << id;
           previous = button;
         }
         PressKey(w, kIdReportClose, VK_ESCAPE);  // outside full screen: nothing
       },
       [&](HWND w) {
         Click(w, kIdReportFullScreen);
         EXPECT_TRUE(StateOf(w).fullScreen);
         PressKey(w, kIdReportClose, VK_ESCAPE);
       },
       [&](HWND w) {
         EXPECT_FALSE(StateOf(w).fullScreen);
         RECT restored{};
         GetWindowRect(w, &restored);
         EXPECT_TRUE(EqualRect(&restored, &normal));
         lastStepPlayed = true;
         Click(w, kIdReportClose);
       }},
      parent);
  EXPECT_TRUE(lastStepPlayed);  // the first Escape closed nothing
  EXPECT_FALSE(IsWindowEnabled(parent));
  DestroyWindow(parent);
  ASSERT_EQ(h.boxes.size(), 1u);
  EXPECT_EQ(U8(h.boxes[0].text),
            "消去証明＆ハードウェアレポート情報をクリップボードにコピーしました！");
  ASSERT_TRUE(OpenClipboard(nullptr));
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const std::wstring pasted = data ? static_cast<const wchar_t*>(GlobalLock(data)) : L"";
  if (data) GlobalUnlock(data);
  CloseClipboard();
  EXPECT_EQ(U8(pasted), U8(ReportClipboardText(job.stamp)));
  EXPECT_NE(
      U8(pasted).find("\r\n  Report UUID / ID : TVDE-20260101-120000-0A0B0C0D\r\n"
                      "  Report date      : \r\n  Software version : \r\n  Erasure standard : " +
                      U8(StandardLabel(EraseStandard::ZeroFill)) + " (1 Passes)\r\n"),
      std::string::npos);
}

TEST(ReportDialog, SaveElsewhereWritesTheThreeFilesAndTheHtmlButtonOpensThem) {
  const DiskInfo disk = testing::TestDisk(4, L"unused.img", 64ull << 20);
  const ReportData job = VerifiedZeroFill(disk);
  const std::vector<std::string> verified = {"PASSED (All Sampled Sectors Verified Clean)",
                                             U8(StandardLabel(EraseStandard::ZeroFill)),
                                             U8(ExecutionModeHtmlLabel(ExecutionMode::RealWrite))};
  StampPayload unnamed = job.stamp;
  unnamed.certificateId = unnamed.verification = L"";
  // The certificate says what the record or the payload says, never more; a stamp keeps the ID
  // of the certificate saved for it. Refusals of a payload that records no erasure: StampSwitch.
  // clang-format off
  const std::tuple<ReportDialogRequest, bool, std::vector<std::string>> cases[] = {
      {{job.stamp, L"", job, disk, {}, {}}, true, verified},  // the job's output was off
      {{job.stamp, L"", std::nullopt, std::nullopt, {}, {}}, true, verified},
      {{unnamed, L"", std::nullopt, std::nullopt, {}, {}}, true, {"SKIPPED (検証記録なし)"}},
      {{job.stamp, L"", job, disk, {}, {}}, false, {}}};
  // clang-format on
  for (const auto& [request, writable, claims] : cases) {
    AppHarness h;
    h.pickerAnswer = writable ? h.temp().File("usb") : UnwritableFolder(h);
    std::wstring html, shownId;
    OpenDialog(h, request, {[&](HWND w) {
                 Click(w, kIdReportOpenHtml);  // nothing saved yet
                 Click(w, kIdReportSaveElsewhere);
                 html = StateOf(w).htmlPath;
                 shownId = StateOf(w).payload.certificateId;
                 Click(w, kIdReportOpenHtml);
                 h.shellOpenError = ERROR_ACCESS_DENIED;
                 Click(w, kIdReportOpenHtml);
               }});
    ASSERT_EQ(h.boxes.size(), writable ? 3u : 4u);
    EXPECT_TRUE(U8(h.boxes[0].text).starts_with("HTML証明書ファイルがまだ保存されていないか"));
    if (!writable) {
      EXPECT_TRUE(
          U8(h.boxes[1].text).starts_with("指定されたフォルダへの書き込みに失敗しました。"));
      EXPECT_TRUE(html.empty() && h.opened.empty());
      continue;
    }
    EXPECT_EQ(U8(h.boxes[1].title), "ログ・証明書保存完了");
    size_t reports = 0;
    for (const auto& entry : fs::directory_iterator(h.temp().path() / "usb"))
      reports += entry.path().extension() != ".tmp";
    EXPECT_EQ(reports, 3u);
    EXPECT_EQ(h.opened, (std::vector<std::wstring>{html, html}));
    EXPECT_NE(U8(h.boxes[2].text).find(U8(html) + "\n理由: ファイルへのアクセスが拒否されました。"),
              std::string::npos);
    const std::vector<uint8_t> bytes = testing::ReadWholeFile(html);
    const std::string certificate(bytes.begin(), bytes.end());
    for (const std::string& claim : claims)
      EXPECT_NE(certificate.find(claim), std::string::npos) << claim;
    EXPECT_NE(certificate.find("<strong>" + U8(shownId) + "</strong>"), std::string::npos);
  }
}

TEST(ReportDialog, StampSwitchWritesAndErasesAndEveryRefusalWritesNothing) {
  AppHarness h;
  std::ofstream(h.temp().path() / "disk.img").close();
  fs::resize_file(h.temp().path() / "disk.img", 4 << 20);  // all zero
  DiskInfo disk = testing::TestDisk(7, h.temp().File("disk.img"), 4 << 20);
  disk.driveLetters.clear();
  int questions = 0;  // No writes the stamp, Yes then erases it
  h.answer = [&](const BoxCall& box) {
    return (box.flags & MB_YESNOCANCEL) == 0 ? IDOK : ++questions == 1 ? IDNO : IDYES;
  };
  StampPayload written, erased;
  OpenDialog(h, {PreviewPayload(), L"", std::nullopt, disk, {}, {}}, {[&](HWND w) {
               Click(w, kIdReportStampSwitch);
               written = DetectDiskStamp(disk);
               const StampPayload& shown = StateOf(w).payload;
               EXPECT_EQ(U8(BadgeOf(StateOf(w)).text), "● STAMPED BY OPERATOR");
               EXPECT_EQ(shown.certificateId.size(), 29u);
               EXPECT_EQ(U8(written.certificateId), U8(shown.certificateId));
               Click(w, kIdReportStampSwitch);
               erased = DetectDiskStamp(disk);
               EXPECT_EQ(U8(StateOf(w).payload.stampState),
                         "Stamp Erased (スタンプ消去済・先頭256セクタ 0x00)");
             }});
  EXPECT_EQ(written.incomplete, 0);
  EXPECT_EQ(erased.incomplete, 1);
  ASSERT_EQ(h.boxes.size(), 4u);
  EXPECT_EQ(U8(h.boxes[0].title), "ディスク状態の切り替え (レポートスタンプ ⇔ 完全消去0x00状態)");
  EXPECT_TRUE(
      U8(h.boxes[0].text)
          .starts_with("対象ディスク Disk 7 (Toreval Test Disk 7, S/N: TT-7) の物理状態を"));
  // An operator's stamp proves no all-zero disk: the question promises the stamp area only.
  EXPECT_NE(U8(h.boxes[0].text).find("[はい (Yes)]  : ディスク先頭のレポートスタンプ (LBA 0..255)"),
            std::string::npos);
  EXPECT_EQ(U8(h.boxes[3].text),
            "ディスク先頭のレポートスタンプを消去しました (先頭256セクタを0x00化)。");
  // The machine stays awake and the session open around each write (the shutdown screen names it).
  const std::string hold =
      "awake 80000001|block " + U8(kStampBlockReason) + "|unblock|awake 80000000|";
  EXPECT_EQ(h.sessionCalls, hold + hold);

  // A protected disk, no disk at all or a running job: refused before any question; the write
  // of a simulation's report (answered No) and the erase of a disk without a stamp (Yes) after
  // it; no certificate where nothing was erased (a hardware preview, an operator's stamp), before
  // the folder is asked for. The disk holds data and keeps it.
  DiskInfo guarded = disk;
  guarded.safetyStatus = SafetyStatus::ProtectedSystemDisk;
  ReportData simulation = VerifiedZeroFill(disk);
  simulation.config.executionMode = ExecutionMode::Simulation;
  StampPayload stamped = VerifiedZeroFill(disk).stamp;
  stamped.verification = kOperatorStampVerdict;
  const auto data = testing::WriteFilledFile(disk.devicePath, 4 << 20, 0xA5);
  // clang-format off
  const std::tuple<ReportDialogRequest, int, int, size_t, const char*> refusals[] = {
      {{PreviewPayload(), L"", std::nullopt, guarded, {}, {}}, kIdReportStampSwitch, IDNO, 1, "選択されているディスクは安全保護ロック中"},
      {{PreviewPayload(), L"", std::nullopt, std::nullopt, {}, {}}, kIdReportStampSwitch, IDNO, 1, "メイン画面で対象ディスクを選択してください。"},
      {{PreviewPayload(), L"", std::nullopt, disk, {}, [] { return true; }}, kIdReportStampSwitch, IDNO, 1, "消去処理または WinPE メディア作成の実行中は"},
      {{simulation.stamp, L"", simulation, disk, {}, {}}, kIdReportStampSwitch, IDNO, 2, "このレポートは安全シミュレーション (DryRun) の結果です。"},
      {{PreviewPayload(), L"", std::nullopt, disk, {}, {}}, kIdReportStampSwitch, IDYES, 2, "対象ディスクの先頭にレポートスタンプが見つかりません。"},
      {{PreviewPayload(), L"", std::nullopt, disk, {}, {}}, kIdReportSaveElsewhere, IDNO, 1, "このレポートは実際の消去処理の記録ではありません"},
      {{stamped, L"", std::nullopt, disk, {}, {}}, kIdReportSaveElsewhere, IDNO, 1, "このレポートは実際の消去処理の記録ではありません"}};
  // clang-format on
  for (const auto& [request, button, answer, boxes, text] : refusals) {
    AppHarness refused;
    refused.answer = [answer](const BoxCall&) { return answer; };
    OpenDialog(refused, request, {[button](HWND w) { Click(w, button); }});
    ASSERT_EQ(refused.boxes.size(), boxes);
    EXPECT_TRUE(U8(refused.boxes.back().text).starts_with(text)) << text;
    EXPECT_TRUE(refused.pickerCalls == 0 && refused.sessionCalls.empty());
  }
  EXPECT_EQ(testing::ReadWholeFile(disk.devicePath), data);
}

}  // namespace
}  // namespace tvde
