// Gathers the facts for the default certificate folder on Windows and creates the folder.
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include <cwchar>

#include "base/drive_strings.h"
#include "base/host_environment.h"
#include "settings/default_log_directory.h"

namespace tvde {
namespace {

bool MiniNtKeyOpens() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0, KEY_READ,
                    &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::vector<DriveRootFact> ListDrives() {
  std::vector<DriveRootFact> drives;
  for (const std::wstring& root : QueryLogicalDriveRoots().value_or(std::vector<std::wstring>{})) {
    drives.push_back({root, GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE});
  }
  return drives;
}

std::wstring DocumentsFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path))) {
    return {};
  }
  return path;
}

}  // namespace

std::wstring ResolveDefaultLogDirectory() {
  LogDirectoryFacts facts;
  facts.isWinPE = MiniNtKeyOpens();
  if (facts.isWinPE) facts.drives = ListDrives();
  facts.documentsFolder = DocumentsFolder();
  facts.modulePath = ProgramModulePath();
  return PickDefaultLogDirectory(DefaultLogDirectoryCandidates(facts), [](const std::wstring& f) {
    return CreateDirectoryW(f.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
  });
}

}  // namespace tvde
