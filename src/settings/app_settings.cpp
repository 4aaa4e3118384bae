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
  return LoadSettingsFrom(DefaultSettingsStore(creation), creation);
}

void SaveSettings(const AppSettings& settings) {
  SaveSettingsTo(DefaultSettingsStore(), settings);
}

}  // namespace tvde
