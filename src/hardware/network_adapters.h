#pragma once
// The network adapter line of the hardware profile: Ethernet adapters with their MAC
// addresses, or the installed network devices when no adapter list is available.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tvde {

// Adapter type numbers as the IP helper reports them (IANA interface types).
inline constexpr uint32_t kAdapterTypeEthernet = 6;
inline constexpr uint32_t kAdapterTypeWireless = 71;
inline constexpr size_t kMaxListedAdapters = 3;

struct NetworkAdapterFacts {
  uint32_t type = 0;
  std::wstring description;  // already converted to wide text
  std::array<uint8_t, 6> address{};
};

// "aa:bb:cc:dd:ee:ff", lower case.
std::wstring FormatMacAddress(const std::array<uint8_t, 6>& address);

// "Adapter n: description, mac" for the first three Ethernet adapters; other types are
// passed over without using a number.
std::vector<std::wstring> EthernetAdapterEntries(const std::vector<NetworkAdapterFacts>& adapters);

// The profile text: the Ethernet entries, else "Adapter n: name" for the network device
// names, else "None / Offline"; entries joined with " | ".
std::wstring ComposeNetworkAdapters(const std::vector<NetworkAdapterFacts>& adapters,
                                    const std::vector<std::wstring>& deviceNames);

// Queries the running machine (platform source); never fails.
std::wstring CollectNetworkAdapters();

}  // namespace tvde
