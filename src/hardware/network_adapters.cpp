// Composition of the network adapter text from adapter facts or device names.
#include "hardware/network_adapters.h"

#include "base/text.h"
#include "hardware/hardware_text.h"

namespace tvde {

std::wstring FormatMacAddress(const std::array<uint8_t, 6>& a) {
  return FormatPrintfW("%02x:%02x:%02x:%02x:%02x:%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
}

std::vector<std::wstring> EthernetAdapterEntries(const std::vector<NetworkAdapterFacts>& adapters) {
  std::vector<std::wstring> entries;
  for (const NetworkAdapterFacts& adapter : adapters) {
    if (entries.size() >= kMaxListedAdapters) break;
    if (adapter.type != kAdapterTypeEthernet) continue;
    const std::wstring description =
        adapter.description.empty() ? L"Network Adapter" : adapter.description;
    entries.push_back(L"Adapter " + std::to_wstring(entries.size() + 1) + L": " + description +
                      L", " + FormatMacAddress(adapter.address));
  }
  return entries;
}

std::wstring ComposeNetworkAdapters(const std::vector<NetworkAdapterFacts>& adapters,
                                    const std::vector<std::wstring>& deviceNames) {
  std::vector<std::wstring> entries = EthernetAdapterEntries(adapters);
  if (entries.empty()) {
    for (const std::wstring& name : deviceNames)
      entries.push_back(L"Adapter " + std::to_wstring(entries.size() + 1) + L": " + name);
  }
  if (entries.empty()) return L"None / Offline";
  return JoinStrings(entries, L" | ");
}

}  // namespace tvde
