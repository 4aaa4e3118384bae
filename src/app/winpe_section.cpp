// The WinPE section of the main window: the ADK status line, the USB list, the ADK and
// media-creation buttons with their refusals and questions, and the end of their jobs.
#include <memory>

#include "app/app.h"
#include "app/erase_launch_texts.h"
#include "app/win_controls.h"
#include "base/product.h"
#include "settings/settings_rules.h"
#include "winpe/adk_acquisition.h"
#include "winpe/adk_layout.h"
#include "winpe/media_program.h"

namespace tvde {
namespace {

constexpr size_t kUsbEntryMaxChars = 256;

constexpr const wchar_t* kNoUsbEntry = L"(リムーバブルUSB未検出 - ISO出力推奨)";
constexpr const wchar_t* kAdkQuestionTitle = L"Windows ADK 任意ダウンロード / 導入";
constexpr const wchar_t* kDownloadQuestion =
    L"Microsoft 公式サーバーから Windows 10 ADK & PE Add-on (x86/x64対応版) および Windows 11 ADK & PE Add-on のインストーラー一式をダウンロード保存しますか？";
constexpr const wchar_t* kInstallQuestion =
    L"選択した Windows ADK および WinPE Add-on (x86 32bit / x64 64bit サポート) を自動ダウンロード＆導入しますか？";
constexpr const wchar_t* kMediaAdminRefusal =
    L"WinPE起動メディアの作成 (DISMイメージマウント) には管理者権限が必要です。\n画面右上の「管理者権限で再起動」ボタンを押してから実行してください。";
constexpr const wchar_t* kAdkAdminRefusal =
    L"Windows ADK / WinPE Add-on のインストールには管理者権限が必要です。\n画面右上の「管理者権限で再起動」ボタンを押してから実行してください。";
constexpr const wchar_t* kAdkNotReadyRefusal =
    L"Windows ADK または WinPE Add-on がまだインストールされていません。\n先に上の「選択した ADK + WinPE Add-on を任意ダウンロード / 導入」を実行してください。";
constexpr const wchar_t* kAdkMismatchRefusal =
    L"Windows ADK と WinPE Add-on のバージョンが一致しません。\n上の「選択した ADK + WinPE Add-on を任意ダウンロード / 導入」で同じバージョンの組を導入してから実行してください。";
constexpr const wchar_t* kNoUsbRefusal = L"有効なリムーバブルUSBドライブが選択されていません。";
constexpr const wchar_t* kUsbQuestionTitle = L"WinPE USB作成確認";
constexpr const wchar_t* kWinPEErrorBox =
    L"WinPE 処理中にエラーが発生しました。監査ログコンソールの出力を確認してください。";
constexpr const wchar_t* kAdkDoneBox =
    L"Windows ADK / WinPE Add-on (x86/x64) のダウンロード・導入処理が完了しました！";
constexpr const wchar_t* kMediaDoneBox =
    L"日本語ロケール＆フォント組込済・即時起動 (winpeshl.ini) ＆ UEFI/CSM(BIOS) 両対応の WinPE メディア作成が完了しました！\n\n作成したメディアからPCをブートすると、文字化けなしで即座に Toreval Disk Eraser が起動します。";
constexpr const wchar_t* kMediaDoneTitle = L"WinPE メディア作成完了";
constexpr const wchar_t* kWinPEWorkerFailed =
    L"WinPE 処理を開始できませんでした (ワーカースレッドを作成できません)。";
constexpr const wchar_t* kWinPEWorkerFailedLog =
    L"[ERROR] WinPE ワーカースレッドを作成できなかったため、処理を開始しませんでした。";

// In texts and the suggested ISO name.
std::wstring ArchitectureLabel(int32_t architecture) {
  return architecture == kWinPEArchitectureX86 ? L"x86_32bit" : L"x64_64bit";
}

// Both boot modes ask the same question.
std::wstring UsbQuestion(const std::wstring& drive, int32_t architecture) {
  return L"対象USBドライブ (" + drive +
         L") をフォーマットし、\n「日本語対応・即時起動 WinPE USB (" +
         ArchitectureLabel(architecture) +
         L" / UEFI+CSM両対応)」を作成します。\nUSBメモリ内の既存データは消去されます。よろしいですか？";
}

int32_t OutputModeFromListIndex(int32_t index) {
  if (index == kWinPEOutputUsb || index == kWinPEOutputIso) return index;
  return kWinPEOutputFolder;
}

}  // namespace

void App::UpdateAdkStatusLabel() {
  const std::wstring root = ResolveAdkRoot(services.winpeHost.adkRootCandidates);
  SetText(
      controls.adkStatusLabel,
      AdkStatusLabelText(AdkStatusAt(root, services.winpeHost.fileVersion), HasX86WinPEAt(root)));
}

void App::FillUsbTargetCombo() {
  SendMessageW(controls.usbTarget, CB_RESETCONTENT, 0, 0);
  std::vector<std::wstring> entries = services.listRemovableDrives();
  if (entries.empty()) entries.emplace_back(kNoUsbEntry);
  for (const std::wstring& entry : entries)
    AddComboItem(controls.usbTarget, entry);
  SetComboSelection(controls.usbTarget, 0);
}

void App::OnAdkButton() {
  if (busy.load() != 0) return ShowBox(kBusyRefusal, kProductName, MB_OK | MB_ICONWARNING);
  auto start = std::make_unique<WinPEWorkerStart>();
  start->app = this;
  start->kind = kWinPEJobAdk;
  start->adkChoice = AdkChoiceFromListIndex(ComboSelection(controls.adkChoice));
  const bool downloadOnly = start->adkChoice == kAdkChoiceDownloadOnly;
  // The silent installers need elevation and would fail one by one without it.
  if (!downloadOnly && isAdmin != 1) {
    return ShowBox(kAdkAdminRefusal, kProductName, MB_OK | MB_ICONWARNING);
  }
  if (downloadOnly) start->downloadFolder = CertificateFolderText() + L"\\ADK_Installers";
  if (AskBox(downloadOnly ? kDownloadQuestion : kInstallQuestion, kAdkQuestionTitle,
             MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return;
  }
  StartWinPEWorker(std::move(start));
}

void App::OnCreateMediaButton() {
  const auto refuse = [this](const wchar_t* text) {
    ShowBox(text, kProductName, MB_OK | MB_ICONWARNING);
  };
  if (busy.load() != 0) return refuse(kBusyRefusal);
  if (isAdmin != 1) return refuse(kMediaAdminRefusal);
  const int32_t adk = AdkStatusAt(ResolveAdkRoot(services.winpeHost.adkRootCandidates),
                                  services.winpeHost.fileVersion);
  if (adk == kAdkVersionMismatch) return refuse(kAdkMismatchRefusal);
  if (adk != kAdkReady) return refuse(kAdkNotReadyRefusal);

  auto start = std::make_unique<WinPEWorkerStart>();
  start->app = this;
  start->kind = kWinPEJobMedia;
  WinPEBuildRequest& request = start->request;
  request.architecture =
      ComboSelection(controls.winpeArchitecture) == 1 ? kWinPEArchitectureX86 : 0;
  request.outputMode = OutputModeFromListIndex(ComboSelection(controls.winpeOutput));
  request.uefiOnly = ComboSelection(controls.winpeBoot) == 0 ? 0 : 1;
  // Media whose WinPE cannot start the program (a 64-bit one on x86 media) are never built.
  if (!ChooseMediaProgram(request.architecture, services.winpeHost.programPath).suitable)
    return refuse(MediaProgramRefusalText(request.architecture).c_str());
  // The drive that holds the certificates is never formatted (the builder checks it).
  request.certificateFolder = CertificateFolderText();
  if (request.outputMode == kWinPEOutputUsb) {
    const std::wstring entry = GetText(controls.usbTarget, kUsbEntryMaxChars);
    if (entry.size() < 2 || entry[0] == L'(') return refuse(kNoUsbRefusal);
    request.usbTarget = entry.substr(0, 2);
    if (AskBox(UsbQuestion(request.usbTarget, request.architecture), kUsbQuestionTitle,
               MB_YESNO | MB_ICONWARNING) != IDYES) {
      return;
    }
  } else if (request.outputMode == kWinPEOutputIso) {
    request.isoPath =
        services.pickIsoFile(mainWindow, L"Toreval_Disk_Eraser_WinPE_" +
                                             ArchitectureLabel(request.architecture) + L"_JP.iso");
    if (request.isoPath.empty()) return;
  }
  StartWinPEWorker(std::move(start));
}

void App::StartWinPEWorker(std::unique_ptr<WinPEWorkerStart> start) {
  if (winpeWorker.joinable()) winpeWorker.join();
  busy.exchange(1);
  winpeJobRunning = true;
  HoldSession(kWinPEBlockReason);
  Enable(controls.adkButton, false);
  Enable(controls.createMedia, false);
  WinPEWorkerStart* handedOver = start.get();
  const bool started = services.startThread(winpeWorker, [handedOver] {
    WinPEWorkerMain(std::unique_ptr<WinPEWorkerStart>(handedOver));
  });
  if (started) {
    static_cast<void>(start.release());  // the worker owns and frees it now
    return;
  }
  busy.exchange(0);
  winpeJobRunning = false;
  ReleaseSession();
  Enable(controls.adkButton, true);
  Enable(controls.createMedia, true);
  AppendLog(kWinPEWorkerFailedLog);
  ShowBox(kWinPEWorkerFailed, kProductName, MB_OK | MB_ICONERROR);
}

void App::OnWinPEDone(int32_t result, int32_t kind) {
  busy.exchange(0);
  winpeJobRunning = false;
  ReleaseSession();
  Enable(controls.adkButton, true);
  Enable(controls.createMedia, true);
  UpdateAdkStatusLabel();
  OnLogMessage();  // the job's last lines come before its outcome
  if (result != 0) {
    ShowBox(kWinPEErrorBox, kProductName, MB_OK | MB_ICONERROR);
  } else if (kind == kWinPEJobAdk) {
    ShowBox(kAdkDoneBox, kProductName, MB_OK | MB_ICONINFORMATION);
  } else {
    ShowBox(kMediaDoneBox, kMediaDoneTitle, MB_OK | MB_ICONINFORMATION);
  }
}

}  // namespace tvde
