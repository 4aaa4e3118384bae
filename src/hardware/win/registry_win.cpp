// Registry reads for the hardware profile.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "hardware/win/hardware_sources_win.h"

namespace tvde {
namespace {

// Closes an opened registry key when it goes out of scope.
class RegistryKey {
 public:
  RegistryKey(HKEY root, const wchar_t* subkey) {
    if (RegOpenKeyExW(root, subkey, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

constexpr DWORD kValueBufferBytes = 1024;

}  // namespace

std::wstring ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* valueName) {
  RegistryKey key(root, subkey);
  if (key.get() == nullptr) return {};
  wchar_t buffer[kValueBufferBytes / sizeof(wchar_t)] = {};
  DWORD type = 0;
  DWORD size = kValueBufferBytes;
  if (RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS) {
    return {};
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return {};
  // Stored strings need not be terminated; read no further than the value's size. A
  // multi-string's first item ends at its first zero character.
  const size_t chars = std::min<size_t>(size / sizeof(wchar_t), std::size(buffer));
  return std::wstring(buffer, wcsnlen(buffer, chars));
}

std::optional<uint32_t> ReadRegistryDword(HKEY root, const wchar_t* subkey,
                                          const wchar_t* valueName) {
  RegistryKey key(root, subkey);
  if (key.get() == nullptr) return std::nullopt;
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExW(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof(value)) {
    return 0;
  }
  return value;
}

}  // namespace tvde
