// Windows host facts: Wine's ntdll export and the module file name.
#include <windows.h>

#include <vector>

#include "base/host_environment.h"

namespace tvde {

bool IsRunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return false;
  return GetProcAddress(ntdll, "wine_get_version") != nullptr;
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

}  // namespace tvde
