#pragma once
// Windows sources of the hardware profile: registry, device installer classes, IP helper.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hardware/network_adapters.h"

namespace tvde {

// Device setup classes the profile lists.
inline constexpr GUID kDisplayClassGuid = {
    0x4d36e968, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
inline constexpr GUID kMediaClassGuid = {
    0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
inline constexpr GUID kScsiAdapterClassGuid = {
    0x4d36e97b, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
inline constexpr GUID kHdcClassGuid = {
    0x4d36e96a, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
inline constexpr GUID kNetClassGuid = {
    0x4d36e972, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// REG_SZ / REG_EXPAND_SZ as stored (no expansion), the first string of a REG_MULTI_SZ;
// empty for any other type, a missing key or value, or a value over 1024 bytes.
std::wstring ReadRegistryString(HKEY root, const wchar_t* subkey, const wchar_t* valueName);

// A REG_DWORD value; nullopt when the key cannot be opened, 0 when the value is missing.
std::optional<uint32_t> ReadRegistryDword(HKEY root, const wchar_t* subkey,
                                          const wchar_t* valueName);

// Up to maxCount distinct names of the present devices of a setup class.
std::vector<std::wstring> EnumerateClassDeviceNames(const GUID& classGuid, size_t maxCount);

// The IP helper's adapter list (loaded at run time), and the network device names when no
// Ethernet adapter is in it.
void ReadNetworkFacts(std::vector<NetworkAdapterFacts>& adapters,
                      std::vector<std::wstring>& deviceNames);

}  // namespace tvde
