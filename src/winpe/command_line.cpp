// The interpreter's command line and the environment of the tools it starts.
#include <algorithm>
#include <cwctype>

#include "winpe/command_runner.h"

namespace tvde {
namespace {

constexpr std::wstring_view kNoCurrentFolderSearch = L"NoDefaultCurrentDirectoryInExePath";

std::wstring UpperName(const std::wstring& entry) {
  // A leading '=' belongs to the name ("=C:=C:\x", the per-drive folders).
  std::wstring name = entry.substr(0, entry.find(L'=', 1));
  std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) {
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  });
  return name;
}

}  // namespace

std::wstring ShellCommandLine(const std::wstring& command) {
  std::wstring line = L"cmd.exe /c \"";
  for (const wchar_t c : command) {
    if (c == L'%') {
      line += L"%%cd:~,%";
    } else {
      line.push_back(c);
    }
  }
  return line + L"\"";
}

std::vector<std::wstring> ToolEnvironment(std::vector<std::wstring> entries) {
  std::wstring upperFlag(kNoCurrentFolderSearch);
  std::transform(upperFlag.begin(), upperFlag.end(), upperFlag.begin(), [](wchar_t c) {
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  });
  std::erase_if(entries,
                [&upperFlag](const std::wstring& entry) { return UpperName(entry) == upperFlag; });
  entries.push_back(std::wstring(kNoCurrentFolderSearch) + L"=1");
  std::stable_sort(
      entries.begin(), entries.end(),
      [](const std::wstring& a, const std::wstring& b) { return UpperName(a) < UpperName(b); });
  return entries;
}

}  // namespace tvde
