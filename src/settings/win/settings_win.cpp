// Settings on Windows: the profile (INI) functions and the HKEY_CURRENT_USER copy.
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>

#include <algorithm>

#include "base/host_environment.h"
#include "settings/app_settings.h"
#include "settings/settings_rules.h"
#include "settings/win/unicode_profile_file.h"

namespace tvde {
namespace {

std::wstring ReadText(const wchar_t* section, const wchar_t* key, const std::wstring& current,
                      const std::wstring& path) {
  // One character more than a setting holds: a text that long is cut later, and a folder that
  // long is refused rather than cut into another folder.
  wchar_t buffer[kSettingsTextMaxChars + 2] = {};
  const DWORD length = GetPrivateProfileStringW(section, key, current.c_str(), buffer,
                                                kSettingsTextMaxChars + 2, path.c_str());
  return std::wstring(buffer, length);
}

uint32_t ReadNumber(const wchar_t* section, const wchar_t* key, int32_t fallback,
                    const std::wstring& path) {
  return GetPrivateProfileIntW(section, key, fallback, path.c_str());
}

std::optional<std::wstring> ReadRegistryOperator(const std::wstring& subkey) {
  if (subkey.empty()) return std::nullopt;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  uint8_t buffer[kRegistryTextBufferBytes] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  const LSTATUS status = RegQueryValueExW(key, L"OperatorName", nullptr, &type, buffer, &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return DecodeRegistryText(
      type, std::span<const uint8_t>(buffer, std::min<size_t>(size, sizeof buffer)));
}

void WriteText(const wchar_t* section, const wchar_t* key, const std::wstring& value,
               const std::wstring& path) {
  WritePrivateProfileStringW(section, key, ProfileValueText(value).c_str(), path.c_str());
}

void WriteNumber(const wchar_t* section, const wchar_t* key, int32_t value,
                 const std::wstring& path) {
  WritePrivateProfileStringW(section, key, std::to_wstring(value).c_str(), path.c_str());
}

void SetRegistryText(HKEY key, const wchar_t* name, const std::wstring& value) {
  const std::wstring text = ProfileSafeText(value);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::wstring GetSettingsFilePath(FolderCreation creation) {
  wchar_t base[MAX_PATH] = {};
  if (SUCCEEDED(
          SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)) &&
      base[0] != L'\0') {
    const std::wstring root(base);
    if (creation == FolderCreation::Allowed) {
      CreateDirectoryW((root + L"\\Toreval").c_str(), nullptr);
      CreateDirectoryW((root + L"\\Toreval\\DiskEraser").c_str(), nullptr);
    }
    return ComposeSettingsFilePath(root, {});
  }
  return ComposeSettingsFilePath({}, ProgramDirectory());
}

SettingsStore DefaultSettingsStore(FolderCreation creation) {
  return {GetSettingsFilePath(creation), kSettingsRegistryKey};
}

AppSettings LoadSettingsFrom(const SettingsStore& store, std::wstring& warning,
                             FolderCreation creation) {
  warning.clear();
  const AppSettings defaults = DefaultSettings(creation);
  const std::wstring& path = store.iniPath;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    warning = L"the settings file " + path + L" is not a regular file; the defaults are used";
  }
  StoredSettings stored;
  stored.operatorName = ReadText(L"General", L"OperatorName", defaults.operatorName, path);
  stored.organizationName =
      ReadText(L"General", L"OrganizationName", defaults.organizationName, path);
  stored.certOutputDir = ReadText(L"General", L"CertOutputDir", defaults.certOutputDir, path);
  stored.defaultStandard = ReadNumber(L"Sanitization", L"DefaultStandard", 0, path);
  stored.defaultVerify = ReadNumber(L"Sanitization", L"DefaultVerify", 1, path);
  stored.writeDiskStamp = ReadNumber(L"Sanitization", L"WriteDiskStamp", 0, path);
  stored.enableLogOutput = ReadNumber(L"Sanitization", L"EnableLogOutput", 0, path);
  stored.defaultExecMode = ReadNumber(L"Safety", L"DefaultExecMode", 0, path);
  stored.signingKeyFile = ReadText(L"Signing", L"SigningKeyFile", defaults.signingKeyFile, path);
  stored.registryOperatorName = ReadRegistryOperator(store.registrySubkey);
  return ApplyStoredSettings(stored, defaults);
}

void SaveSettingsTo(const SettingsStore& store, const AppSettings& settings) {
  const std::wstring& path = store.iniPath;
  EnsureUnicodeProfileFile(path);  // on failure the profile functions still write ANSI
  WriteText(L"General", L"OperatorName", settings.operatorName, path);
  WriteText(L"General", L"OrganizationName", settings.organizationName, path);
  WriteText(L"General", L"CertOutputDir", settings.certOutputDir, path);
  WriteNumber(L"Sanitization", L"DefaultStandard", settings.defaultStandard, path);
  WriteNumber(L"Sanitization", L"DefaultVerify", settings.defaultVerify, path);
  WriteNumber(L"Sanitization", L"WriteDiskStamp", settings.writeDiskStamp, path);
  WriteNumber(L"Sanitization", L"EnableLogOutput", settings.enableLogOutput, path);
  WriteNumber(L"Safety", L"DefaultExecMode", settings.defaultExecMode, path);
  WriteText(L"Signing", L"SigningKeyFile", settings.signingKeyFile, path);

  if (store.registrySubkey.empty()) return;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, store.registrySubkey.c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return;
  }
  SetRegistryText(key, L"OperatorName", settings.operatorName);
  SetRegistryText(key, L"OrganizationName", settings.organizationName);
  SetRegistryText(key, L"CertOutputDir", settings.certOutputDir);
  RegCloseKey(key);
}

}  // namespace tvde
