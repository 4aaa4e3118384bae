#pragma once
// The texts of the erase launch: refusals, the certificate-folder question and the final
// confirmation.

#include <string>

#include "erase/erase_job.h"

namespace tvde {

inline constexpr const wchar_t* kBusyRefusal = L"現在別の処理が実行中です。";
inline constexpr const wchar_t* kLongFolderRefusal =
    L"証明書・監査ログの保存先フォルダーのパスが長すぎます (259 文字まで)。\n短いパスのフォルダーを選択してください。";
inline constexpr const wchar_t* kNoSelectionRefusal =
    L"消去対象のディスクを一覧から選択してください。";
inline constexpr const wchar_t* kOsDiskRefusal =
    L"【絶対安全保護ロック】\n選択されたディスクには現在稼働中の Windows OS (C:ドライブ) が含まれています！\nWindows上から自身のOS起動ディスクを実機消去することはハードウェア保護により禁止されています。\n\n・動作や消去証明スタンプ・証明書発行のテストを行う場合は「動作モード」を『安全シミュレーション(DryRun)』にしてください。\n・このPCの内蔵OSディスクを本当に完全消去する場合は、右側のパネルで『WinPE起動メディア』を作成し、USB/ISOから起動して消去してください。";
inline constexpr const wchar_t* kOsDiskRefusalTitle = L"Toreval Safety Guard - OS起動ディスク保護";
inline constexpr const wchar_t* kSafetyGuardTitle = L"Toreval Safety Guard";
inline constexpr const wchar_t* kAdminRefusal =
    L"実機物理セクタ消去を行うには管理者権限が必要です。\n右上の「管理者権限で再起動」ボタンを押してください。";
inline constexpr const wchar_t* kConfirmCodeRefusal =
    L"安全確認コード欄に「ERASE」と入力してください。\n誤操作防止のためのインターロック機構です。";
inline constexpr const wchar_t* kConfirmCodeTitle = L"確認コード未入力";
inline constexpr const wchar_t* kConfirmCode = L"ERASE";
inline constexpr const wchar_t* kFolderQuestionTitle = L"ログ保存先の確認";
inline constexpr const wchar_t* kFinalConfirmationTitle = L"最終確認 - Toreval Disk Eraser";
inline constexpr const wchar_t* kWorkerStartFailed =
    L"消去処理を開始できませんでした (ワーカースレッドを作成できません)。";
inline constexpr const wchar_t* kWorkerStartFailedLog =
    L"[ERROR] 消去ワーカースレッドを作成できなかったため、消去処理を開始しませんでした。";

// The firmware-erase combo box, in FirmwareMode order.
inline constexpr const wchar_t* kFirmwareModeLabels[] = {
    L"使用しない (上書きのみ)",    L"自動 (ドライブ対応の方式)",
    L"暗号消去 (Crypto Erase)",    L"ブロック消去 (Block Erase)",
    L"ドライブ上書き (Overwrite)", L"フォーマット (Format/Secure Erase)"};

// "【安全保護ロック中】" with the disk's safety reason.
std::wstring ProtectedDiskRefusal(const std::wstring& safetyReason);

// The Yes/No/Cancel question about a certificate folder that needs attention.
std::wstring FolderQuestion(const std::wstring& outputFolder, const std::wstring& reason);

// The summary the operator confirms before the job starts.
std::wstring FinalConfirmation(const EraseJobConfig& config);

// MB_ flags of the final confirmation: a real write defaults to No.
unsigned FinalConfirmationFlags(ExecutionMode mode);

}  // namespace tvde
