// Settings of the POSIX console tool: a UTF-8 INI file under the user's configuration folder,
// with the same sections, keys and load rules as the Windows product (no registry copy).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/file_system.h"
#include "base/host_environment.h"
#include "base/text.h"
#include "settings/app_settings.h"
#include "settings/ini_document.h"
#include "settings/settings_rules.h"

namespace tvde {
namespace {

std::string Native(const std::wstring& path) {
  return WideToUtf8(path);
}

// The file's text; empty when it is missing, and when it cannot be used, with `warning` set.
std::string ReadSettingsText(const std::wstring& path, std::wstring& warning) {
  std::string text;
  switch (ReadRegularFile(path, kMaxSettingsFileBytes, text)) {
    case FileReadResult::Read:
      return text;
    case FileReadResult::Missing:
      return {};
    case FileReadResult::NotARegularFile:
      warning = L"the settings file " + path + L" is not a regular file; the defaults are used";
      return {};
    case FileReadResult::TooLarge:
      warning = L"the settings file " + path + L" is larger than 1 MiB; the defaults are used";
      return {};
    case FileReadResult::Failed:
      break;
  }
  warning = L"the settings file " + path + L" cannot be read; the defaults are used";
  return {};
}

std::wstring ReadText(const IniDocument& ini, const char* section, const char* key,
                      const std::wstring& current) {
  const auto value = ini.Get(section, key);
  std::wstring text = value ? Utf8ToWide(*value) : current;
  // Bytes that are not UTF-8 cannot be shown faithfully; keep the default instead.
  if (value && text.empty() && !value->empty()) text = current;
  return text;
}

uint32_t ReadNumber(const IniDocument& ini, const char* section, const char* key,
                    uint32_t fallback) {
  const auto value = ini.Get(section, key);
  if (!value) return fallback;
  return ParseProfileInt(Utf8ToWide(*value), fallback);
}

std::wstring ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // Relative values are to be ignored.
  if (xdg != nullptr && xdg[0] == '/') return Utf8ToWide(xdg);
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return Utf8ToWide(home) + L"/.config";
  return {};
}

}  // namespace

std::wstring GetSettingsFilePath(FolderCreation creation) {
  const std::wstring config = ConfigFolder();
  if (!config.empty()) {
    const std::wstring folder = config + L"/toreval";
    if (creation == FolderCreation::None) return folder + L"/" + kSettingsFileName;
    std::error_code error;
    std::filesystem::create_directories(Native(folder), error);
    if (!error) return folder + L"/" + kSettingsFileName;
  }
  return ProgramDirectory() + L"/" + kSettingsFileName;
}

SettingsStore DefaultSettingsStore(FolderCreation creation) {
  return {GetSettingsFilePath(creation), {}};
}

AppSettings LoadSettingsFrom(const SettingsStore& store, std::wstring& warning,
                             FolderCreation creation) {
  warning.clear();
  const AppSettings defaults = DefaultSettings(creation);
  const IniDocument ini = IniDocument::Parse(ReadSettingsText(store.iniPath, warning));
  StoredSettings stored;
  stored.operatorName = ReadText(ini, "General", "OperatorName", defaults.operatorName);
  stored.organizationName = ReadText(ini, "General", "OrganizationName", defaults.organizationName);
  stored.certOutputDir = ReadText(ini, "General", "CertOutputDir", defaults.certOutputDir);
  stored.defaultStandard = ReadNumber(ini, "Sanitization", "DefaultStandard", 0);
  stored.defaultVerify = ReadNumber(ini, "Sanitization", "DefaultVerify", 1);
  stored.writeDiskStamp = ReadNumber(ini, "Sanitization", "WriteDiskStamp", 0);
  stored.enableLogOutput = ReadNumber(ini, "Sanitization", "EnableLogOutput", 0);
  stored.defaultExecMode = ReadNumber(ini, "Safety", "DefaultExecMode", 0);
  stored.signingKeyFile = ReadText(ini, "Signing", "SigningKeyFile", defaults.signingKeyFile);
  return ApplyStoredSettings(stored, defaults);
}

void SaveSettingsTo(const SettingsStore& store, const AppSettings& settings) {
  // What cannot be read is not written over either: the operator's file stays as it is.
  std::wstring warning;
  const std::string existing = ReadSettingsText(store.iniPath, warning);
  if (!warning.empty()) return;
  IniDocument ini = IniDocument::Parse(existing);
  const auto text = [](const std::wstring& value) { return WideToUtf8(ProfileValueText(value)); };
  ini.Set("General", "OperatorName", text(settings.operatorName));
  ini.Set("General", "OrganizationName", text(settings.organizationName));
  ini.Set("General", "CertOutputDir", text(settings.certOutputDir));
  ini.Set("Sanitization", "DefaultStandard", std::to_string(settings.defaultStandard));
  ini.Set("Sanitization", "DefaultVerify", std::to_string(settings.defaultVerify));
  ini.Set("Sanitization", "WriteDiskStamp", std::to_string(settings.writeDiskStamp));
  ini.Set("Sanitization", "EnableLogOutput", std::to_string(settings.enableLogOutput));
  ini.Set("Safety", "DefaultExecMode", std::to_string(settings.defaultExecMode));
  ini.Set("Signing", "SigningKeyFile", text(settings.signingKeyFile));

  // Written beside the file and renamed over it, so a failure keeps the old settings whole.
  const std::string path = Native(store.iniPath);
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return;
    out << ini.Serialize();
    out.flush();
    if (!out) {
      out.close();
      std::remove(temporary.c_str());
      return;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) std::remove(temporary.c_str());
}

}  // namespace tvde
