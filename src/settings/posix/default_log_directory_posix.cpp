// Default certificate folder for the console tool: ~/Documents/Toreval Disk Eraser Certificates,
// else a folder beside the program.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/host_environment.h"
#include "base/text.h"
#include "settings/default_log_directory.h"

namespace tvde {
namespace {

std::wstring HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return Utf8ToWide(home);
  const passwd* entry = getpwuid(getuid());
  if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] != '\0') {
    return Utf8ToWide(entry->pw_dir);
  }
  return {};
}

}  // namespace

std::wstring ResolveDefaultLogDirectory() {
  LogDirectoryFacts facts;
  facts.separator = L'/';
  const std::wstring home = HomeFolder();
  if (!home.empty()) facts.documentsFolder = home + L"/Documents";
  facts.modulePath = ProgramModulePath();
  return PickDefaultLogDirectory(DefaultLogDirectoryCandidates(facts), [](const std::wstring& f) {
    std::error_code error;
    const std::filesystem::path path(WideToUtf8(f));
    std::filesystem::create_directories(path, error);
    return !error && std::filesystem::is_directory(path, error);
  });
}

}  // namespace tvde
