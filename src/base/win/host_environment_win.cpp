// Windows host facts: Wine's ntdll export, the product type and name, the module file name.
#include <windows.h>

#include <string>
#include <vector>

#include "base/host_environment.h"

namespace tvde {

bool IsRunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return false;
  return GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring HostOperatingSystem() {
  OSVERSIONINFOEXW workstation{};
  workstation.dwOSVersionInfoSize = sizeof workstation;
  workstation.wProductType = VER_NT_WORKSTATION;
  const DWORDLONG condition = VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL);
  if (VerifyVersionInfoW(&workstation, VER_PRODUCT_TYPE, condition)) return {};
  // A domain controller or a server: named as its product calls itself.
  wchar_t name[256] = {};
  DWORD bytes = sizeof name;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                   L"ProductName", RRF_RT_REG_SZ, nullptr, name, &bytes) != ERROR_SUCCESS ||
      name[0] == L'\0') {
    return L"Microsoft Windows Server";
  }
  return std::wstring(L"Microsoft ") + name;
}

std::wstring ProgramModulePath() {
  // Start with the classic 260 characters and grow, so a program installed under a long path
  // still finds the folders beside it instead of a cut-off name.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool IsExistingRegularFile(std::wstring_view path) {
  // Under Wine a block or character device behind a link has no file attributes at all.
  const std::wstring terminated(path);
  const DWORD attributes = GetFileAttributesW(terminated.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0;
}

std::string WineUnixPathOf(std::wstring_view path) {
  if (!IsRunningUnderWine()) return {};
  using UnixFileNameFn = char*(CDECL*)(const wchar_t*);
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return {};
  const auto toUnix = reinterpret_cast<UnixFileNameFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "wine_get_unix_file_name")));
  if (toUnix == nullptr) return {};
  const std::wstring terminated(path);
  char* unixName = toUnix(terminated.c_str());
  if (unixName == nullptr) return {};
  std::string result(unixName);
  HeapFree(GetProcessHeap(), 0, unixName);
  return result;
}

}  // namespace tvde
