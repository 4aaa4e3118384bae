#pragma once
// Load and save rules of the settings, independent of where the values are stored.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/app_settings.h"

namespace tvde {

// Texts are read through a 260-character buffer: at most 259 characters come back.
inline constexpr size_t kSettingsTextMaxChars = 259;
// The registry copy of the operator is read with a buffer of this many bytes.
inline constexpr size_t kRegistryTextBufferBytes = 520;

// Values as the storage returned them: texts already defaulted to the current values when
// missing, integers as the profile functions' unsigned answers (the default when missing).
struct StoredSettings {
  std::wstring operatorName;
  std::wstring organizationName;
  std::wstring certOutputDir;
  uint32_t defaultStandard = 0;
  uint32_t defaultVerify = 1;
  uint32_t writeDiskStamp = 0;
  uint32_t enableLogOutput = 0;
  uint32_t defaultExecMode = 0;
  std::wstring signingKeyFile;
  std::optional<std::wstring> registryOperatorName;  // the registry copy wins when present
};

// Applies the acceptance rules: 259-character texts (the certificate folder is kept whole, to be
// refused when longer), standard 0..7 and verify 0..2 as unsigned numbers (else the default),
// the three flags set only by exactly 1, registry operator wins.
AppSettings ApplyStoredSettings(const StoredSettings& stored, const AppSettings& defaults);

// The first 259 characters.
std::wstring CutSettingsText(std::wstring_view text);

// Line breaks would split the INI line and let the rest of a text pose as another key (for
// example "DefaultExecMode=1"), so they are stored as spaces.
std::wstring ProfileSafeText(std::wstring_view text);

// The form a text is written into the INI file in: ProfileSafeText, and wrapped in double
// quotes when it starts or ends with a blank or is itself wrapped in a pair of quotes, since
// reading a profile value trims the blanks and drops one pair of quotes around it.
std::wstring ProfileValueText(std::wstring_view text);

// The profile functions' reading of an integer value: leading blanks, an optional sign, a
// "0x", "0o" or "0b" prefix, digits up to the first other character, wrapping modulo 2^32;
// an empty value gives the default.
uint32_t ParseProfileInt(std::wstring_view value, uint32_t defaultValue);

// A registry value read back as text: REG_SZ or REG_EXPAND_SZ (unexpanded) UTF-16LE bytes, cut
// at the first zero and to 259 characters; nothing for any other value type.
std::optional<std::wstring> DecodeRegistryText(uint32_t valueType, std::span<const uint8_t> bytes);

enum class SettingsFileEncoding : int32_t { Utf16Le, Utf8WithBom, Ansi };

// UTF-16LE BOM (FF FE), UTF-8 BOM (EF BB BF), anything else is the ANSI code page.
SettingsFileEncoding DetectSettingsFileEncoding(std::span<const uint8_t> head);

// base + "\Toreval\DiskEraser\TorevalDiskEraser.ini" when the application-data folder is
// known, else the program's folder + "\TorevalDiskEraser.ini".
std::wstring ComposeSettingsFilePath(const std::wstring& localAppData,
                                     const std::wstring& programDirectory);

}  // namespace tvde
