// Drive verdicts of the folder picker, its row texts and the check of a configured folder.
#include <cwctype>

#include "app/folder_picker.h"
#include "base/startup_environment.h"
#include "disk/disk_info.h"

namespace tvde {

std::wstring DriveVerdictTag(UINT driveType, wchar_t letter) {
  if (driveType == DRIVE_CDROM) return L"[CD/DVD/ISO 読取専用 - 保存不可]";
  if (std::towupper(letter) == L'X') return L"[WinPE RAMディスク - 電源OFFで消去]";
  if (driveType == DRIVE_REMOVABLE) return L"★推奨 [USB/リムーバブル - 書込可能]";
  if (driveType == DRIVE_FIXED) return L"[ローカル/外付け固定ドライブ - 書込可能]";
  if (driveType == DRIVE_REMOTE) return L"[ネットワークドライブ - 書込可能]";
  return L"[ドライブ]";
}

std::wstring SuggestedLogFolder(const std::wstring& root) {
  return root + L"Toreval_Erasure_Logs";
}

std::wstring DriveRowText(const DriveFacts& drive) {
  const wchar_t letter = drive.root.empty() ? L'\0' : drive.root[0];
  return drive.root + L"  " + DriveVerdictTag(drive.driveType, letter) + L"  Label: " +
         (drive.label.empty() ? std::wstring(L"(なし)") : drive.label) + L" (" +
         (drive.fileSystem.empty() ? std::wstring(L"RAW") : drive.fileSystem) + L", 空き: " +
         FormatSize(drive.freeBytes) + L")  ->  " + SuggestedLogFolder(drive.root);
}

DriveFacts QueryDriveFacts(const std::wstring& root) {
  DriveFacts drive;
  drive.root = root;
  drive.driveType = GetDriveTypeW(root.c_str());
  wchar_t label[129] = {};
  wchar_t fileSystem[65] = {};
  if (GetVolumeInformationW(root.c_str(), label, 129, nullptr, nullptr, nullptr, fileSystem, 65)) {
    drive.label = label;
    drive.fileSystem = fileSystem;
  }
  ULARGE_INTEGER available{};
  if (GetDiskFreeSpaceExW(root.c_str(), &available, nullptr, nullptr))
    drive.freeBytes = available.QuadPart;
  return drive;
}

std::wstring TrimBlanks(const std::wstring& text) {
  constexpr const wchar_t* kBlanks = L" \t\r\n";
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::wstring::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool CheckOutputFolderWith(const std::wstring& folder, std::wstring& reason,
                           const std::function<UINT(const std::wstring& root)>& driveTypeOf,
                           bool isWinPE) {
  if (folder.size() < 2 || folder[1] != L':') {
    reason = L"相対パスまたは無効なパスです。";
    return true;
  }
  const wchar_t letter = static_cast<wchar_t>(std::towupper(folder[0]));
  const std::wstring root = std::wstring(1, letter) + L":\\";
  if (driveTypeOf(root) == DRIVE_CDROM) {
    reason = root + L" は CD/DVD/ISO 読み取り専用ドライブのため書き込みできません。";
    return true;
  }
  if (isWinPE && letter == L'X') {
    reason =
        L"X:\\ は WinPE の一時RAMディスクのため、PCを再起動・電源OFFすると保存したログが消えてしまいます。";
    return true;
  }
  return false;
}

bool CheckOutputFolder(const std::wstring& folder, std::wstring& reason) {
  return CheckOutputFolderWith(
      folder, reason, [](const std::wstring& root) { return GetDriveTypeW(root.c_str()); },
      IsWinPEEnvironment());
}

}  // namespace tvde
