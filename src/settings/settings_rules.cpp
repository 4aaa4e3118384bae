// Acceptance rules for loaded settings and the text forms used to store them.
#include "settings/settings_rules.h"

namespace tvde {

std::wstring CutSettingsText(std::wstring_view text) {
  return std::wstring(text.substr(0, kSettingsTextMaxChars));
}

std::wstring ProfileSafeText(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out)
    if (c == L'\r' || c == L'\n') c = L' ';
  return out;
}

std::wstring ProfileValueText(std::wstring_view text) {
  std::wstring value = ProfileSafeText(text);
  if (value.empty()) return value;
  const auto blank = [](wchar_t c) { return c <= L' '; };
  const auto quote = [](wchar_t c) { return c == L'"' || c == L'\''; };
  const bool quoted = value.size() >= 2 && quote(value.front()) && value.back() == value.front();
  if (blank(value.front()) || blank(value.back()) || quoted) value = L'"' + value + L'"';
  return value;
}

AppSettings ApplyStoredSettings(const StoredSettings& stored, const AppSettings& defaults) {
  AppSettings s = defaults;
  s.operatorName = CutSettingsText(stored.operatorName);
  s.organizationName = CutSettingsText(stored.organizationName);
  // Paths are not cut: a shorter name would be another folder or file. Their users refuse a
  // folder that is too long, and a key file that cannot be read leaves the reports unsigned.
  if (!stored.certOutputDir.empty()) s.certOutputDir = stored.certOutputDir;
  s.signingKeyFile = stored.signingKeyFile;
  // Compared as unsigned numbers, so "-1" (4294967295) is out of range too.
  if (stored.defaultStandard <= 7) s.defaultStandard = static_cast<int32_t>(stored.defaultStandard);
  // 3, reading back every pass, is the newest choice; older files hold 0 to 2.
  if (stored.defaultVerify <= 3) s.defaultVerify = static_cast<int32_t>(stored.defaultVerify);
  s.writeDiskStamp = stored.writeDiskStamp == 1 ? 1 : 0;
  s.enableLogOutput = stored.enableLogOutput == 1 ? 1 : 0;
  s.defaultExecMode = stored.defaultExecMode == 1 ? 1 : 0;
  if (stored.registryOperatorName) s.operatorName = CutSettingsText(*stored.registryOperatorName);
  return s;
}

uint32_t ParseProfileInt(std::wstring_view value, uint32_t defaultValue) {
  size_t i = 0;
  while (i < value.size() && value[i] <= L' ')
    ++i;
  if (i == value.size()) return defaultValue;  // the profile functions trim values
  bool negative = false;
  if (value[i] == L'+' || value[i] == L'-') {
    negative = value[i] == L'-';
    ++i;
  }
  uint32_t base = 10;
  if (i + 1 < value.size() && value[i] == L'0') {
    if (value[i + 1] == L'x') base = 16;
    if (value[i + 1] == L'o') base = 8;
    if (value[i + 1] == L'b') base = 2;
    if (base != 10) i += 2;
  }
  uint32_t total = 0;
  for (; i < value.size(); ++i) {
    const wchar_t c = value[i];
    uint32_t digit = 99;
    if (c >= L'0' && c <= L'9') digit = static_cast<uint32_t>(c - L'0');
    if (c >= L'A' && c <= L'Z') digit = static_cast<uint32_t>(c - L'A') + 10;
    if (c >= L'a' && c <= L'z') digit = static_cast<uint32_t>(c - L'a') + 10;
    if (digit >= base) break;
    total = total * base + digit;  // wraps like the 32-bit original
  }
  return negative ? 0u - total : total;
}

std::optional<std::wstring> DecodeRegistryText(uint32_t valueType, std::span<const uint8_t> bytes) {
  constexpr uint32_t kRegSz = 1;
  constexpr uint32_t kRegExpandSz = 2;
  if (valueType != kRegSz && valueType != kRegExpandSz) return std::nullopt;
  std::wstring text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    uint32_t unit = static_cast<uint32_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    // Where wchar_t is 32 bits wide, a surrogate pair becomes one character.
    if (sizeof(wchar_t) == 4 && unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
      const uint32_t low = static_cast<uint32_t>(bytes[i + 2] | (bytes[i + 3] << 8));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    text.push_back(static_cast<wchar_t>(unit));
  }
  return CutSettingsText(text);
}

SettingsFileEncoding DetectSettingsFileEncoding(std::span<const uint8_t> head) {
  if (head.size() >= 2 && head[0] == 0xFF && head[1] == 0xFE) return SettingsFileEncoding::Utf16Le;
  if (head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
    return SettingsFileEncoding::Utf8WithBom;
  }
  return SettingsFileEncoding::Ansi;
}

std::wstring ComposeSettingsFilePath(const std::wstring& localAppData,
                                     const std::wstring& programDirectory) {
  if (!localAppData.empty()) {
    return localAppData + L"\\Toreval\\DiskEraser\\" + kSettingsFileName;
  }
  return programDirectory + L"\\" + kSettingsFileName;
}

}  // namespace tvde
