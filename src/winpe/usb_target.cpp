// USB target entries and the check of the drive before formatting.
#include "winpe/usb_target.h"

#include "disk/disk_info.h"

namespace tvde {
namespace {

// "E:" for a path on a lettered drive ("e:\x", "\\?\E:\x"); empty for anything else.
std::wstring DriveOfPath(std::wstring_view path) {
  if (path.substr(0, 4) == L"\\\\?\\") path.remove_prefix(4);
  if (path.size() < 2 || path[1] != L':') return {};
  const wchar_t letter = path[0];
  if (letter >= L'a' && letter <= L'z') return {static_cast<wchar_t>(letter - L'a' + L'A'), L':'};
  if (letter >= L'A' && letter <= L'Z') return {letter, L':'};
  return {};
}

}  // namespace

UsbTargetCheck CheckUsbTarget(std::wstring_view usbTarget,
                              const std::function<bool(const std::wstring& drive)>& isRemovable,
                              std::wstring_view programPath, std::wstring_view certificateFolder) {
  UsbTargetCheck check;
  check.drive = std::wstring(usbTarget.substr(0, 2));
  const std::wstring drive = DriveOfPath(check.drive);
  if (drive.empty()) {
    check.problem = UsbTargetProblem::kNotADrive;
  } else if (!isRemovable || !isRemovable(check.drive)) {
    check.problem = UsbTargetProblem::kNotRemovable;
  } else if (DriveOfPath(programPath) == drive) {
    check.problem = UsbTargetProblem::kProgramDrive;
  } else if (DriveOfPath(certificateFolder) == drive) {
    check.problem = UsbTargetProblem::kCertificateDrive;
  }
  return check;
}

std::wstring UsbTargetRefusalText(const UsbTargetCheck& check) {
  const std::wstring drive = L"対象USBドライブ (" + check.drive + L") ";
  switch (check.problem) {
    case UsbTargetProblem::kNone:
      break;
    case UsbTargetProblem::kNotADrive:
      return L"[ERROR] 有効なリムーバブルUSBドライブが選択されていません。";
    case UsbTargetProblem::kNotRemovable:
      return L"[ERROR] " + drive +
             L"がリムーバブルドライブとして見つからないため、フォーマットを中止しました。";
    case UsbTargetProblem::kProgramDrive:
      return L"[ERROR] " + drive +
             L"は実行中のプログラムがあるドライブのため、フォーマットを中止しました。";
    case UsbTargetProblem::kCertificateDrive:
      return L"[ERROR] " + drive +
             L"は証明書・監査ログの保存先ドライブのため、フォーマットを中止しました。";
  }
  return {};
}

std::wstring RemovableDriveEntry(std::wstring_view root, std::wstring_view volumeLabel,
                                 uint64_t totalBytes) {
  return std::wstring(root.substr(0, 2)) + L" [" +
         (volumeLabel.empty() ? std::wstring(L"USB Drive") : std::wstring(volumeLabel)) + L" - " +
         FormatSize(totalBytes) + L"]";
}

}  // namespace tvde
