// POSIX host facts: never Wine; the kernel's name and release; the program path from
// /proc/self/exe.
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <vector>

#include "base/host_environment.h"
#include "base/text.h"

namespace tvde {

bool IsRunningUnderWine() {
  return false;
}

std::wstring HostOperatingSystem() {
  struct utsname names {};
  if (uname(&names) != 0) return L"Linux";
  return Utf8ToWide(std::string(names.sysname) + " " + names.release);
}

std::wstring ProgramModulePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      return Utf8ToWide(std::string_view(buffer.data(), static_cast<size_t>(length)));
    }
    if (buffer.size() >= 65536) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool IsExistingRegularFile(std::wstring_view path) {
  struct stat st {};
  const std::string narrow = WideToUtf8(path);
  return !narrow.empty() && stat(narrow.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string WineUnixPathOf(std::wstring_view) {
  return {};
}

}  // namespace tvde
