// The platform-independent entry points of the settings: defaults and the default store.
#include "settings/app_settings.h"

#include "settings/default_log_directory.h"

namespace tvde {

AppSettings DefaultSettings(FolderCreation creation) {
  AppSettings defaults;
  if (creation == FolderCreation::Allowed) defaults.certOutputDir = ResolveDefaultLogDirectory();
  return defaults;
}

AppSettings LoadSettings(FolderCreation creation) {
  std::wstring warning;
  return LoadSettingsFrom(DefaultSettingsStore(creation), warning, creation);
}

AppSettings LoadSettings(std::wstring& warning, FolderCreation creation) {
  return LoadSettingsFrom(DefaultSettingsStore(creation), warning, creation);
}

AppSettings LoadSettingsFrom(const SettingsStore& store, FolderCreation creation) {
  std::wstring warning;
  return LoadSettingsFrom(store, warning, creation);
}

void SaveSettings(const AppSettings& settings) {
  SaveSettingsTo(DefaultSettingsStore(), settings);
}

}  // namespace tvde
