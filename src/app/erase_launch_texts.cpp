// Texts of the erase launch.
#include "app/erase_launch_texts.h"

#include <windows.h>

#include "erase/erase_standard.h"

namespace tvde {

std::wstring ProtectedDiskRefusal(const std::wstring& safetyReason) {
  return L"【安全保護ロック中】\n" + safetyReason +
         L"\n\n※テスト実行したい場合は動作モードを『安全シミュレーション(DryRun)』に切り替えてください。";
}

std::wstring FolderQuestion(const std::wstring& outputFolder, const std::wstring& reason) {
  return L"【ログ・証明書の保存先確認 (ISO/CD・DVD / WinPE起動サポート)】\n現在の保存先: " +
         outputFolder + L"\n理由: " + reason +
         L"\n\n・[はい (Yes)]   : 今すぐ書き込み可能な保存先 (USBメモリ等) を指定する\n・[いいえ (No)]  : このまま続行する (消去完了後のレポート画面からも別ドライブへ保存可能)\n・[キャンセル]   : 消去を中止する";
}

std::wstring FinalConfirmation(const EraseJobConfig& config) {
  // All zeroes is promised only when the last pass writes zeroes and is read back.
  const bool provesZeros =
      PlanEndsWithZeros(BuildPassPlan(config.standard)) && config.verifyMode != VerifyMode::None;
  const std::wstring postState =
      config.postEraseState == PostEraseState::WriteStamp
          ? L"実機起動レポート画面 (BIOS/UEFIブータブルスタンプ) を記録"
      : provesZeros ? L"通常通りディスクを完全消去した状態 (全セクタ0x00・スタンプなし)"
                    : L"通常通りディスクを完全消去した状態 (スタンプなし)";
  const std::wstring logText = config.logOutputDisabled == 0
                                   ? L"有効 (保存先: " + config.outputFolder + L")"
                                   : std::wstring(L"無効 (画面レポート表示のみ)");
  const std::wstring modeText =
      config.executionMode == ExecutionMode::RealWrite
          ? L"【警告: 実機物理セクタ完全消去 - データは永久に復元できません！】"
          : L"【安全シミュレーション(DryRun) - 実データは消えません】";
  return L"以下の内容でデータ消去プロセスを開始します。よろしいですか？\n\n・対象ディスク   : Disk " +
         std::to_wstring(config.disk.diskNumber) + L" (" + config.disk.model +
         L")\n・容量 / ドライブ: " + FormatSize(config.disk.sizeBytes) + L" / " +
         config.disk.driveLetters + L"\n・消去規格       : " + StandardLabel(config.standard) +
         L"\n・消去後の状態   : " + postState + L"\n・ログ/証明書保存: " + logText +
         L"\n・実行モード     : " + modeText + L"\n・ファーム消去   : " +
         kFirmwareModeLabels[static_cast<size_t>(config.firmwareMode) % kFirmwareModeCount] +
         (config.firmwareMode == FirmwareMode::Off
              ? L""
              : L"\n  ※ドライブ自身の消去は開始後に中断できず、電源が切れても再投入後に再開されます。"
                L"ドライブが完了を報告するまで証明書は発行されません。");
}

unsigned FinalConfirmationFlags(ExecutionMode mode) {
  if (mode == ExecutionMode::RealWrite) return MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;
  return MB_YESNO | MB_ICONQUESTION;
}

}  // namespace tvde
