// Administrator and WinPE probes on Windows.
#include "base/startup_environment.h"

#include <windows.h>

namespace tvde {

bool IsRunningAsAdmin() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  const BOOL checked = CheckTokenMembership(nullptr, administrators, &member);
  FreeSid(administrators);
  return checked && member;
}

bool IsWinPEEnvironment() {
  HKEY key = nullptr;
  const bool miniNt =
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0, KEY_READ,
                    &key) == ERROR_SUCCESS;
  if (miniNt) {
    RegCloseKey(key);
    return true;
  }
  wchar_t directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return IsWinPEFromFacts(false, std::nullopt);
  return IsWinPEFromFacts(false, std::wstring(directory, length));
}

void HardenProcessStart() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace tvde
