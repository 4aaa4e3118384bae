// The folder picker and the report and stamp dialog, driven in-process through their own
// modal loops: drive rows, accepting and refusing folders, the folder verdicts, saving to
// another folder, the stamp switch on an image file, the clipboard copy and full screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/folder_picker.h"
#include "app/report_dialog.h"
#include "app/win_controls.h"
#include "app_harness.h"
#include "base/drive_strings.h"
#include "stamp/stamp_detect.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::BoxCall;
using testing::DriveModal;
using testing::TempDir;
using testing::U8;

namespace fs = std::filesystem;

// The prompts of both windows: every box recorded and answered by `answer`.
struct Prompts {
  std::vector<BoxCall> boxes;
  std::function<int(const BoxCall&)> answer = [](const BoxCall&) { return IDOK; };
  std::vector<std::wstring> opened;
  std::wstring pickerAnswer;
  AppServices services;

  Prompts() {
    services.messageBox = [this](HWND, const std::wstring& text, const std::wstring& title,
                                 UINT flags) {
      boxes.push_back({text, title, flags});
      return answer(boxes.back());
    };
    services.shellOpen = [this](HWND, const std::wstring& path) {
      opened.push_back(path);
      return true;
    };
    services.pickOutputFolder = [this](HWND, const std::wstring&) { return pickerAnswer; };
  }
};

void Click(HWND window, int id) {
  SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0);
}

void PressKey(HWND window, int id, WPARAM key) {
  PostMessageW(GetDlgItem(window, id), WM_KEYDOWN, key, 0);
}

// ---- Folder picker ----

TEST(FolderPicker, VerdictsRowsAndTheFolderCheck) {
  struct TagCase {
    UINT type;
    wchar_t letter;
    const char* tag;
  };
  for (const TagCase& c :
       std::vector<TagCase>{{DRIVE_CDROM, L'X', "[CD/DVD/ISO 読取専用 - 保存不可]"},
                            {DRIVE_FIXED, L'x', "[WinPE RAMディスク - 電源OFFで消去]"},
                            {DRIVE_REMOVABLE, L'E', "★推奨 [USB/リムーバブル - 書込可能]"},
                            {DRIVE_FIXED, L'C', "[ローカル/外付け固定ドライブ - 書込可能]"},
                            {DRIVE_REMOTE, L'N', "[ネットワークドライブ - 書込可能]"},
                            {DRIVE_UNKNOWN, L'Q', "[ドライブ]"}}) {
    EXPECT_EQ(U8(DriveVerdictTag(c.type, c.letter)), c.tag) << static_cast<char>(c.letter);
  }
  EXPECT_EQ(U8(DriveRowText({L"E:\\", DRIVE_REMOVABLE, L"", L"", 64ull << 20})),
            "E:\\  ★推奨 [USB/リムーバブル - 書込可能]  Label: (なし) (RAW, 空き: 64.0 MB)  ->  "
            "E:\\Toreval_Erasure_Logs");

  struct CheckCase {
    const wchar_t* folder;
    bool winPE;
    bool flagged;
    const char* reason;
  };
  const char* kInvalid = "相対パスまたは無効なパスです。";
  const char* kRamDisk =
      "X:\\ は WinPE の一時RAMディスクのため、PCを再起動・電源OFFすると保存したログが消えてしまいます。";
  const auto driveType = [](const std::wstring& root) {
    return root == L"D:\\" ? UINT{DRIVE_CDROM} : UINT{DRIVE_FIXED};
  };
  for (const CheckCase& c :
       std::vector<CheckCase>{{L"Logs", false, true, kInvalid},
                              {L"\\\\server\\share\\Logs", false, true, kInvalid},
                              {L"C:\\Logs", true, false, "unchanged"},
                              {L"d:\\Logs", false, true,
                               "D:\\ は CD/DVD/ISO 読み取り専用ドライブのため書き込みできません。"},
                              {L"x:\\Logs", true, true, kRamDisk},
                              {L"X:\\Logs", false, false, "unchanged"}}) {
    std::wstring reason = L"unchanged";
    EXPECT_EQ(CheckOutputFolderWith(c.folder, reason, driveType, c.winPE), c.flagged)
        << U8(c.folder);
    EXPECT_EQ(U8(reason), c.reason) << U8(c.folder);
  }
  std::wstring reason;
  EXPECT_FALSE(CheckOutputFolder(L"C:\\Logs", reason));  // Wine's C: is a fixed drive
  EXPECT_TRUE(CheckOutputFolder(L"Logs", reason));
}

TEST(FolderPicker, ListsTheDrivesAndAcceptsATrimmedWritableFolder) {
  TempDir temp;
  Prompts prompts;
  const std::wstring folder = temp.File("logs\\deeper");
  std::wstring chosen;
  std::vector<std::wstring> rows;
  std::wstring afterSelection;
  DriveModal(kFolderPickerClass,
             [&] { chosen = PickOutputFolder(nullptr, L"", prompts.services.messageBox); },
             {[&](HWND window) {
                const HWND list = GetDlgItem(window, kIdPickerDriveList);
                const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
                for (LRESULT i = 0; i < count; ++i) {
                  wchar_t row[512] = {};
                  SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row));
                  rows.push_back(row);
                }
                EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);  // nothing preselected
                SendMessageW(list, LB_SETCURSEL, 0, 0);
                SendMessageW(window, WM_COMMAND, MAKEWPARAM(kIdPickerDriveList, LBN_SELCHANGE),
                             reinterpret_cast<LPARAM>(list));
                afterSelection = GetText(GetDlgItem(window, kIdPickerPath), 260);
                SetText(GetDlgItem(window, kIdPickerPath), L" \t" + folder + L" \r\n");
              },
              [&](HWND window) { PressKey(window, kIdPickerPath, VK_RETURN); }});

  const auto roots = QueryLogicalDriveRoots();
  ASSERT_TRUE(roots && !roots->empty());
  ASSERT_EQ(rows.size(), roots->size());
  EXPECT_EQ(U8(afterSelection), U8((*roots)[0] + L"Toreval_Erasure_Logs"));
  const std::string cRow = U8(rows[0]);
  EXPECT_EQ(cRow.rfind("C:\\  [ローカル/外付け固定ドライブ - 書込可能]  Label: ", 0), 0u) << cRow;
  EXPECT_TRUE(cRow.ends_with("  ->  C:\\Toreval_Erasure_Logs")) << cRow;
  EXPECT_EQ(U8(chosen), U8(folder));
  EXPECT_TRUE(fs::is_directory(temp.path() / "logs" / "deeper"));
  EXPECT_FALSE(fs::exists(temp.path() / "logs" / "deeper" / "_tvde_write_test.tmp"));
  EXPECT_TRUE(prompts.boxes.empty());
}

TEST(FolderPicker, RefusalsKeepTheWindowOpenAndEveryWayOutReturnsNothing) {
  TempDir temp;
  std::ofstream(temp.path() / "plain-file") << "x";
  const std::wstring unwritable = temp.File("plain-file\\logs");  // under a file: never made
  const std::vector<std::pair<const char*, std::function<void(HWND)>>> exits = {
      {"cancel button", [](HWND w) { Click(w, kIdPickerCancel); }},
      {"close box", [](HWND w) { SendMessageW(w, WM_CLOSE, 0, 0); }},
      {"Escape", [](HWND w) { PressKey(w, kIdPickerPath, VK_ESCAPE); }},
  };
  for (const auto& [name, leave] : exits) {
    SCOPED_TRACE(name);
    Prompts prompts;
    std::wstring chosen = L"not returned";
    bool openAfterRefusals = false;
    DriveModal(
        kFolderPickerClass,
        [&] { chosen = PickOutputFolder(nullptr, L"C:\\start", prompts.services.messageBox); },
        {[&](HWND w) {
           EXPECT_EQ(U8(GetText(GetDlgItem(w, kIdPickerPath), 260)), "C:\\start");
           SetText(GetDlgItem(w, kIdPickerPath), L"  \t ");
           Click(w, kIdPickerAccept);
           SetText(GetDlgItem(w, kIdPickerPath), unwritable);
           Click(w, kIdPickerAccept);
           openAfterRefusals = IsWindow(w) != FALSE;
         },
         leave});
    EXPECT_TRUE(openAfterRefusals);
    EXPECT_EQ(U8(chosen), "");
    ASSERT_EQ(prompts.boxes.size(), 2u);
    EXPECT_EQ(U8(prompts.boxes[0].text), "保存先フォルダパスを入力または選択してください。");
    EXPECT_EQ(U8(prompts.boxes[0].title), "Toreval Disk Eraser");
    EXPECT_EQ(
        U8(prompts.boxes[1].text),
        "選択されたフォルダに書き込みができません！\nCD/DVD/ISOドライブや書き込み禁止メディアではなく、"
        "USBメモリ等の書き込み可能なドライブを選択してください。");
    EXPECT_EQ(U8(prompts.boxes[1].title), "書き込み不可エラー");
    EXPECT_EQ(prompts.boxes[1].flags, UINT{MB_OK | MB_ICONERROR});
  }
}

// ---- Report and stamp dialog ----

ReportDialogState& StateOf(HWND window) {
  return *reinterpret_cast<ReportDialogState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

StampPayload PreviewPayload() {
  StampPayload payload;  // incomplete, no certificate ID
  payload.diskModel = L"Toreval Test Disk";
  payload.diskSerial = L"TT-9";
  payload.hardware.manufacturer = L"Toreval Lab";  // no collection needed
  payload.hardware.storageController = L"Test HBA";
  return payload;
}

ReportData FinishedJob(const DiskInfo& disk) {
  ReportData job;
  job.certificateId = L"TVDE-20260101-120000-0A0B0C0D";
  job.startTime = job.endTime = L"2026-01-01 12:00:00";
  job.statusCode = 3;
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
  return job;
}

void OpenDialog(Prompts& prompts, const ReportDialogRequest& request,
                std::vector<std::function<void(HWND)>> steps) {
  DriveModal(
      kReportDialogClass, [&] { ShowReportDialog(nullptr, request, prompts.services); },
      std::move(steps));
}

TEST(ReportDialog, BadgeSaysNoMoreThanTheJobDid) {
  struct BadgeCase {
    const char* name;
    int32_t incomplete;
    ExecutionMode mode;
    EraseStandard standard;
    const wchar_t* verdict;
    const char* badge;
    bool allZero;
  };
  const wchar_t* passed = L"PASSED (All Sampled Sectors Verified Clean)";
  for (const BadgeCase& c : std::vector<BadgeCase>{
           {"preview", 1, ExecutionMode::RealWrite, EraseStandard::ZeroFill, L"",
            "● HARDWARE PREVIEW", false},
           {"verified zeroes", 0, ExecutionMode::RealWrite, EraseStandard::ZeroFill, passed,
            "★ SANITIZED & VERIFIED", true},
           {"verified random", 0, ExecutionMode::RealWrite, EraseStandard::CryptoRandom, passed,
            "★ SANITIZED & VERIFIED", false},
           {"not verified", 0, ExecutionMode::RealWrite, EraseStandard::ZeroFill,
            L"SKIPPED (検証なし設定)", "★ SANITIZED, UNVERIFIED", false},
           {"simulation", 0, ExecutionMode::Simulation, EraseStandard::ZeroFill,
            L"PASSED (Simulation 100% Verified)", "● SIMULATION (DRY-RUN)", false}}) {
    ReportDialogState state;
    state.payload.incomplete = c.incomplete;
    state.payload.verification = c.verdict;
    state.hasReport = true;
    state.report.config.executionMode = c.mode;
    state.report.config.standard = c.standard;
    EXPECT_EQ(U8(BadgeOf(state).text), c.badge) << c.name;
    EXPECT_EQ(ClaimsAllZero(state), c.allZero) << c.name;
    // A stamp read back from a disk carries only the standard's name.
    state.hasReport = false;
    state.payload.standardName = StandardLabel(c.standard);
    EXPECT_EQ(ClaimsAllZero(state), c.allZero && c.mode == ExecutionMode::RealWrite) << c.name;
  }
}

TEST(ReportDialog, PreviewOpensWithButtonsAtTheBottomAndFullScreenLeavesOnEscape) {
  Prompts prompts;
  RECT normal{};
  std::vector<int> buttonTops;
  OpenDialog(
      prompts, {PreviewPayload(), L"", std::nullopt, std::nullopt, {}},
      {[&](HWND w) {
         const ReportDialogState& state = StateOf(w);
         EXPECT_EQ(U8(BadgeOf(state).text), "● HARDWARE PREVIEW");
         EXPECT_EQ(U8(state.payload.hardware.manufacturer), "Toreval Lab");
         GetWindowRect(w, &normal);
         for (int height : {900, 500}) {  // taller: follows the bottom; smaller: stays at 605
           SetWindowPos(w, nullptr, 0, 0, 1055, height, SWP_NOMOVE | SWP_NOZORDER);
           RECT client{}, button{};
           GetClientRect(w, &client);
           GetWindowRect(GetDlgItem(w, kIdReportClose), &button);
           MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&button), 2);
           EXPECT_EQ(button.top, ReportButtonTop(client.bottom)) << height;
           EXPECT_EQ(button.left, client.right - 122) << height;
           buttonTops.push_back(button.top);
         }
         SetWindowPos(w, nullptr, normal.left, normal.top, normal.right - normal.left,
                      normal.bottom - normal.top, SWP_NOZORDER);
         PressKey(w, kIdReportClose, VK_ESCAPE);  // outside full screen: nothing
       },
       [&](HWND w) {
         EXPECT_FALSE(StateOf(w).fullScreen);
         Click(w, kIdReportFullScreen);
         EXPECT_TRUE(StateOf(w).fullScreen);
         EXPECT_EQ(U8(GetText(GetDlgItem(w, kIdReportFullScreen), 64)), "通常ウィンドウに戻す");
         PressKey(w, kIdReportClose, VK_ESCAPE);
       },
       [&](HWND w) {
         EXPECT_FALSE(StateOf(w).fullScreen);
         EXPECT_EQ(U8(GetText(GetDlgItem(w, kIdReportFullScreen), 64)), "全画面レポート表示 (ESC)");
         RECT restored{};
         GetWindowRect(w, &restored);
         EXPECT_TRUE(EqualRect(&restored, &normal));
         Click(w, kIdReportClose);
       }});
  ASSERT_EQ(buttonTops.size(), 2u);
  EXPECT_GT(buttonTops[0], 605);
  EXPECT_EQ(buttonTops[1], 605);
  EXPECT_TRUE(prompts.boxes.empty());
}

TEST(ReportDialog, SaveElsewhereWritesTheThreeFilesAndTheHtmlButtonOpensThem) {
  const DiskInfo disk = testing::TestDisk(4, L"unused.img", 64ull << 20);
  const ReportData job = FinishedJob(disk);
  struct SaveCase {
    const char* name;
    ReportDialogRequest request;
    bool writable;
  };
  for (const SaveCase& c : std::vector<SaveCase>{
           {"job with output off", {job.stamp, L"", job, disk, {}}, true},
           {"payload only", {PreviewPayload(), L"", std::nullopt, std::nullopt, {}}, true},
           {"unwritable folder", {job.stamp, L"", job, disk, {}}, false}}) {
    SCOPED_TRACE(c.name);
    TempDir temp;
    std::ofstream(temp.path() / "plain-file") << "x";
    Prompts prompts;
    prompts.pickerAnswer = c.writable ? temp.File("usb") : temp.File("plain-file\\usb");
    std::wstring html;
    OpenDialog(prompts, c.request, {[&](HWND w) {
                 Click(w, kIdReportOpenHtml);  // nothing saved yet
                 Click(w, kIdReportSaveElsewhere);
                 html = StateOf(w).htmlPath;
                 Click(w, kIdReportOpenHtml);
               }});
    ASSERT_EQ(prompts.boxes.size(), c.writable ? 2u : 3u);  // the failed save: no HTML again
    EXPECT_EQ(U8(prompts.boxes[0].text).rfind("HTML証明書ファイルがまだ保存されていないか", 0), 0u);
    if (!c.writable) {
      EXPECT_EQ(
          U8(prompts.boxes[1].text),
          "指定されたフォルダへの書き込みに失敗しました。USBメモリ等の書き込み可能なドライブを選択してください。");
      EXPECT_TRUE(html.empty());
      EXPECT_TRUE(prompts.opened.empty());
      continue;
    }
    EXPECT_EQ(U8(prompts.boxes[1].title), "ログ・証明書保存完了");
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(temp.path() / "usb")) {
      const auto extension = entry.path().extension();
      files += extension == ".html" || extension == ".txt" || extension == ".json";
    }
    EXPECT_EQ(files, 3u);
    EXPECT_TRUE(fs::exists(html));
    EXPECT_NE(U8(prompts.boxes[1].text).find(U8(html)), std::string::npos);
    EXPECT_EQ(prompts.opened, std::vector<std::wstring>{html});
  }
}

TEST(ReportDialog, StampSwitchWritesAndErasesAndRefusesProtectedDisksUnasked) {
  TempDir temp;
  const std::wstring image = temp.File("disk.img");
  std::ofstream(temp.path() / "disk.img").close();
  fs::resize_file(temp.path() / "disk.img", 4 << 20);
  DiskInfo disk = testing::TestDisk(7, image, 4 << 20);
  disk.driveLetters.clear();
  disk.bytesPerSector = 512;

  Prompts prompts;
  std::vector<int> answers = {IDNO, IDYES};
  prompts.answer = [&](const BoxCall& box) {
    if (box.title != L"ディスク状態の切り替え (レポートスタンプ ⇔ 完全消去0x00状態)") return IDOK;
    const int next = answers.front();
    answers.erase(answers.begin());
    return next;
  };
  StampPayload written;
  StampPayload afterErase;
  OpenDialog(prompts, {PreviewPayload(), L"", std::nullopt, disk, {}}, {[&](HWND w) {
               Click(w, kIdReportStampSwitch);  // No: write
               written = DetectDiskStamp(disk);
               const StampPayload& shown = StateOf(w).payload;
               EXPECT_EQ(shown.incomplete, 0);
               EXPECT_EQ(U8(shown.verification), "STAMPED BY OPERATOR");
               EXPECT_EQ(shown.certificateId.size(), 29u);
               EXPECT_EQ(U8(written.certificateId), U8(shown.certificateId));
               Click(w, kIdReportStampSwitch);  // Yes: erase
               afterErase = DetectDiskStamp(disk);
               EXPECT_EQ(U8(StateOf(w).payload.stampState),
                         "Stamp Erased (スタンプ消去済・先頭256セクタ 0x00)");
             }});
  EXPECT_EQ(written.incomplete, 0);
  EXPECT_EQ(afterErase.incomplete, 1);
  ASSERT_EQ(prompts.boxes.size(), 4u);
  EXPECT_NE(U8(prompts.boxes[0].text)
                .find("・[はい (Yes)]  : ディスク先頭のレポートスタンプ (LBA 0..255)"),
            std::string::npos);  // an operator stamp proves no all-zero disk
  EXPECT_EQ(U8(prompts.boxes[1].text).rfind("実機起動レポート画面 (BIOS/CSM ＆ UEFI GOP 両対応", 0),
            0u);
  EXPECT_EQ(U8(prompts.boxes[3].text),
            "ディスク先頭のレポートスタンプを消去しました (先頭256セクタを0x00化)。");

  for (SafetyStatus status : {SafetyStatus::ProtectedSystemDisk, SafetyStatus::ProtectedBootMedia,
                              SafetyStatus::LockedInternal}) {
    Prompts refused;
    DiskInfo guarded = disk;
    guarded.safetyStatus = status;
    OpenDialog(refused, {PreviewPayload(), L"", std::nullopt, guarded, {}},
               {[&](HWND w) { Click(w, kIdReportStampSwitch); }});
    ASSERT_EQ(refused.boxes.size(), 1u);
    EXPECT_EQ(U8(refused.boxes[0].title), "Toreval Safety Guard");
    EXPECT_EQ(DetectDiskStamp(disk).incomplete, 1);
  }
  Prompts noDisk;
  OpenDialog(noDisk, {PreviewPayload(), L"", std::nullopt, std::nullopt, {}},
             {[&](HWND w) { Click(w, kIdReportStampSwitch); }});
  ASSERT_EQ(noDisk.boxes.size(), 1u);
  EXPECT_EQ(U8(noDisk.boxes[0].text), "メイン画面で対象ディスクを選択してください。");
}

TEST(ReportDialog, CopyPutsTheReportOnTheClipboard) {
  Prompts prompts;
  ReportData job = FinishedJob(testing::TestDisk(4, L"unused.img", 64ull << 20));
  job.stamp.passesCompleted = 1;
  std::wstring pasted;
  OpenDialog(prompts, {job.stamp, L"", job, std::nullopt, {}}, {[&](HWND w) {
               Click(w, kIdReportCopy);
               if (!OpenClipboard(w)) return;
               if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                 pasted = static_cast<const wchar_t*>(GlobalLock(data));
                 GlobalUnlock(data);
               }
               CloseClipboard();
             }});
  ASSERT_EQ(prompts.boxes.size(), 1u);
  EXPECT_EQ(U8(prompts.boxes[0].text),
            "消去証明＆ハードウェアレポート情報をクリップボードにコピーしました！");
  std::vector<std::string> lines;
  const std::string text = U8(pasted);
  for (size_t begin = 0, end; (end = text.find("\r\n", begin)) != std::string::npos;
       begin = end + 2)
    lines.push_back(text.substr(begin, end - begin));
  ASSERT_EQ(lines.size(), 29u);
  EXPECT_TRUE(text.ends_with("  Storage control  : Test HBA\r\n"));
  EXPECT_EQ(lines[1], "  TOREVAL DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT");
  EXPECT_EQ(lines[3], "[Report details]");
  EXPECT_EQ(lines[4], "  Report UUID / ID : TVDE-20260101-120000-0A0B0C0D");
  EXPECT_EQ(lines[7],
            "  Erasure standard : " + U8(StandardLabel(EraseStandard::ZeroFill)) + " (1 Passes)");
  EXPECT_EQ(lines[11], "");
  EXPECT_EQ(lines[12], "[Hardware details]");
  EXPECT_EQ(lines[13], "  Manufacturer     : Toreval Lab");
}

}  // namespace
}  // namespace tvde
