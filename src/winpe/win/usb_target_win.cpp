// Removable drives as the system reports them.
#include <windows.h>

#include "base/drive_strings.h"
#include "winpe/usb_target.h"

namespace tvde {

std::vector<std::wstring> ListRemovableDrives() {
  std::vector<std::wstring> entries;
  for (const std::wstring& root : QueryLogicalDriveRoots().value_or(std::vector<std::wstring>{})) {
    if (GetDriveTypeW(root.c_str()) != DRIVE_REMOVABLE) continue;
    wchar_t label[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                               nullptr, 0)) {
      label[0] = L'\0';
    }
    ULARGE_INTEGER total{};
    if (!GetDiskFreeSpaceExW(root.c_str(), nullptr, &total, nullptr)) total.QuadPart = 0;
    entries.push_back(RemovableDriveEntry(root, label, total.QuadPart));
  }
  return entries;
}

bool IsRemovableDrive(const std::wstring& drive) {
  const std::wstring root = drive + L"\\";
  return GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE;
}

}  // namespace tvde
