// Network adapters through the IP helper library, loaded at run time so that a system
// without it (some WinPE images) still starts.
#include <windows.h>

#include <iphlpapi.h>

#include <cstring>
#include <vector>

#include "base/win/ansi_text.h"
#include "base/win/system_library.h"
#include "hardware/network_adapters.h"
#include "hardware/win/hardware_sources_win.h"

namespace tvde {
namespace {

using GetAdaptersInfoFunction = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);

std::vector<NetworkAdapterFacts> ReadAdaptersInfo() {
  std::vector<NetworkAdapterFacts> adapters;
  const SystemLibrary library(L"iphlpapi.dll");
  const auto getAdaptersInfo = library.Find<GetAdaptersInfoFunction>("GetAdaptersInfo");
  if (getAdaptersInfo == nullptr) return adapters;

  ULONG size = 0;
  if (getAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) return adapters;
  // Whole 8-byte units keep the adapter records aligned.
  std::vector<uint64_t> buffer((size + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
  const auto first = reinterpret_cast<PIP_ADAPTER_INFO>(buffer.data());
  if (getAdaptersInfo(first, &size) != NO_ERROR) return adapters;

  for (const IP_ADAPTER_INFO* a = first; a != nullptr; a = a->Next) {
    NetworkAdapterFacts facts;
    facts.type = a->Type;
    facts.description = AnsiToWide(
        std::string_view(a->Description, strnlen(a->Description, sizeof(a->Description))));
    std::memcpy(facts.address.data(), a->Address, facts.address.size());
    adapters.push_back(std::move(facts));
  }
  return adapters;
}

}  // namespace

void ReadNetworkFacts(std::vector<NetworkAdapterFacts>& adapters,
                      std::vector<std::wstring>& deviceNames) {
  adapters = ReadAdaptersInfo();
  deviceNames.clear();
  if (EthernetAdapterEntries(adapters).empty())
    deviceNames = EnumerateClassDeviceNames(kNetClassGuid, 2);
}

std::wstring CollectNetworkAdapters() {
  std::vector<NetworkAdapterFacts> adapters;
  std::vector<std::wstring> deviceNames;
  ReadNetworkFacts(adapters, deviceNames);
  return ComposeNetworkAdapters(adapters, deviceNames);
}

}  // namespace tvde
