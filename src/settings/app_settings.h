#pragma once
// The operator's persisted settings: identity, certificate folder and the main window's default
// choices, kept in a per-user INI file with a registry copy of the three texts (Windows). The
// signing key's path lives in the INI file only.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tvde {

struct AppSettings {
  std::wstring operatorName = L"Toreval";
  std::wstring organizationName = L"Toreval Tools Lab";
  std::wstring certOutputDir;   // LoadSettings fills in the default certificate folder
  int32_t defaultStandard = 0;  // an EraseStandard, 0..7
  int32_t defaultVerify = 1;    // a VerifyMode, 0..3
  int32_t defaultExecMode = 0;  // 1 real hardware write, 0 simulation
  int32_t writeDiskStamp = 0;   // post-erase combo index: 1 leaves the disk pure zero (no stamp)
  int32_t enableLogOutput = 0;  // 1 means certificate and log files are NOT written
  std::wstring signingKeyFile;  // PEM private key that signs every report set; empty: off
};

inline constexpr const wchar_t* kSettingsFileName = L"TorevalDiskEraser.ini";
inline constexpr const wchar_t* kSettingsRegistryKey = L"Software\\Toreval\\DiskEraser";

// Where one set of settings lives. The product uses the per-user file and key; tests point
// this at a scratch file and a scratch key so that they never touch the operator's settings.
struct SettingsStore {
  std::wstring iniPath;
  std::wstring registrySubkey;  // under HKEY_CURRENT_USER; empty: no registry copy
};

// Whether finding the settings may create folders: the settings folder and the default
// certificate folder. A caller that writes no files reads the settings with None; the default
// certificate folder is then left empty.
enum class FolderCreation : int32_t { Allowed, None };

// Windows: %LOCALAPPDATA%\Toreval\DiskEraser\TorevalDiskEraser.ini (folders created), else the
// program's folder. POSIX: $XDG_CONFIG_HOME (or ~/.config) /toreval/TorevalDiskEraser.ini.
std::wstring GetSettingsFilePath(FolderCreation creation = FolderCreation::Allowed);

// The product's own store: GetSettingsFilePath() and the "Software\Toreval\DiskEraser" key.
SettingsStore DefaultSettingsStore(FolderCreation creation = FolderCreation::Allowed);

// The defaults with the default certificate folder (which this creates).
AppSettings DefaultSettings(FolderCreation creation = FolderCreation::Allowed);

// A settings file larger than this is not read.
inline constexpr size_t kMaxSettingsFileBytes = 1 << 20;

// Never fails: a missing file, section or key gives the default; so does an empty certificate
// folder, which would otherwise send the certificates to wherever the program lies. A settings
// file that cannot be used (a folder, a pipe, a device, too large, unreadable) gives every
// default, and `warning` (empty otherwise) says so.
AppSettings LoadSettings(FolderCreation creation = FolderCreation::Allowed);
AppSettings LoadSettings(std::wstring& warning, FolderCreation creation = FolderCreation::Allowed);
AppSettings LoadSettingsFrom(const SettingsStore& store,
                             FolderCreation creation = FolderCreation::Allowed);
AppSettings LoadSettingsFrom(const SettingsStore& store, std::wstring& warning,
                             FolderCreation creation = FolderCreation::Allowed);

// Failures are ignored; an unwritable file or key keeps its old values.
void SaveSettings(const AppSettings& settings);
void SaveSettingsTo(const SettingsStore& store, const AppSettings& settings);

}  // namespace tvde
