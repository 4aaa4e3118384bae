// The platform-independent entry points of the settings: defaults and the default store.
#include "settings/app_settings.h"

#include "settings/default_log_directory.h"

namespace tvde {

AppSettings DefaultSettings() {
  AppSettings defaults;
  defaults.certOutputDir = ResolveDefaultLogDirectory();
  return defaults;
}

AppSettings LoadSettings() {
  std::wstring warning;
  return LoadSettingsFrom(DefaultSettingsStore(), warning);
}

AppSettings LoadSettings(std::wstring& warning) {
  return LoadSettingsFrom(DefaultSettingsStore(), warning);
}

AppSettings LoadSettingsFrom(const SettingsStore& store) {
  std::wstring warning;
  return LoadSettingsFrom(store, warning);
}

void SaveSettings(const AppSettings& settings) {
  SaveSettingsTo(DefaultSettingsStore(), settings);
}

}  // namespace tvde
