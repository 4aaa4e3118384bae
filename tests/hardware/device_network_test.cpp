// Device-name composition and the network adapter text on prepared inputs.
#include <gtest/gtest.h>

#include "hardware/device_names.h"
#include "hardware/network_adapters.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

std::string Name(const wchar_t* friendly, const wchar_t* description, const wchar_t* maker) {
  return U8(ComposeDeviceName({friendly, description, maker}));
}

TEST(DeviceNames, NameSourceTrimmingAndManufacturerPrefix) {
  EXPECT_EQ(Name(L"Friendly", L"Description", L""), "Friendly");
  EXPECT_EQ(Name(L"", L"  Description\r\n", L""), "Description");
  EXPECT_EQ(Name(L"  ", L"Description", L""), "");  // a blank friendly name is still chosen
  EXPECT_EQ(Name(L"", L" \t", L"Intel"), "");
  EXPECT_EQ(Name(L"Iris(R) Xe Graphics", L"", L" Intel Corporation "),
            "Intel Corporation, Iris(R) Xe Graphics");
  EXPECT_EQ(Name(L"NVIDIA GeForce RTX 3060", L"", L"NVIDIA"), "NVIDIA GeForce RTX 3060");
  EXPECT_EQ(Name(L"NVIDIA GeForce RTX 3060", L"", L"nvidia"), "nvidia, NVIDIA GeForce RTX 3060");
  EXPECT_EQ(Name(L"Microsoft Basic Display Adapter", L"", L"(Standard display types)"),
            "Microsoft Basic Display Adapter");
  EXPECT_EQ(Name(L"標準 SATA AHCI コントローラー", L"", L"(標準 IDE ATA/ATAPI コントローラー)"),
            "標準 SATA AHCI コントローラー");
  // A manufacturer longer than the name is never looked for inside it.
  EXPECT_EQ(Name(L"HD", L"", L"Realtek Semiconductor Corp."), "Realtek Semiconductor Corp., HD");
}

TEST(DeviceNames, SelectionSkipsEmptiesAndDuplicatesAndStopsAtTheMaximum) {
  const std::vector<DeviceNameFacts> devices = {
      {L"", L"", L"Nobody"},
      {L"Intel(R) Display Audio", L"", L"Intel(R) Corporation"},
      {L"Intel(R) Display Audio", L"", L"Intel(R) Corporation"},
      {L"", L"Realtek High Definition Audio", L"Realtek"},
      {L"Third", L"", L""},
  };
  const auto names = SelectDeviceNames(devices, 2);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(U8(names[0]), "Intel(R) Corporation, Intel(R) Display Audio");
  EXPECT_EQ(U8(names[1]), "Realtek High Definition Audio");
  EXPECT_TRUE(SelectDeviceNames(devices, 0).empty());

  std::vector<std::wstring> list;
  EXPECT_FALSE(AppendDeviceName(list, L"", 2));
  EXPECT_FALSE(AppendDeviceName(list, L"A", 2));
  EXPECT_FALSE(AppendDeviceName(list, L"A", 2));
  EXPECT_TRUE(AppendDeviceName(list, L"B", 2));
  EXPECT_TRUE(AppendDeviceName(list, L"C", 2));
  EXPECT_EQ(list.size(), 2u);
}

NetworkAdapterFacts Adapter(uint32_t type, const wchar_t* description, uint8_t last) {
  return {type, description, {0x00, 0x1B, 0x21, 0xAB, 0x0C, last}};
}

TEST(NetworkAdapters, FirstThreeEthernetAdaptersWithLowerCaseMacs) {
  const std::vector<NetworkAdapterFacts> adapters = {
      Adapter(kAdapterTypeWireless, L"Intel(R) Wi-Fi 6 AX201", 0x01),
      Adapter(kAdapterTypeEthernet, L"Intel(R) Ethernet I219-LM", 0x02),
      Adapter(24, L"Loopback", 0x03),
      Adapter(kAdapterTypeEthernet, L"", 0xEF),
      Adapter(kAdapterTypeEthernet, L"Realtek USB GbE", 0x0A),
      Adapter(kAdapterTypeEthernet, L"Fourth", 0x0B),
      Adapter(kAdapterTypeEthernet, L"Fifth", 0x0C),
  };
  EXPECT_EQ(U8(ComposeNetworkAdapters(adapters, {L"ignored"})),
            "Adapter 1: Intel(R) Ethernet I219-LM, 00:1b:21:ab:0c:02 | Adapter 2: Network "
            "Adapter, 00:1b:21:ab:0c:ef | Adapter 3: Realtek USB GbE, 00:1b:21:ab:0c:0a");
  EXPECT_EQ(U8(FormatMacAddress({0xAA, 0x0B, 0x00, 0xFF, 0x10, 0x01})), "aa:0b:00:ff:10:01");
}

TEST(NetworkAdapters, DeviceNamesWhenNoEthernetAdapterAndOfflineOtherwise) {
  const std::vector<NetworkAdapterFacts> wifiOnly = {Adapter(kAdapterTypeWireless, L"Wi-Fi", 0x01)};
  EXPECT_EQ(U8(ComposeNetworkAdapters(wifiOnly, {L"Intel(R) Wi-Fi 6 AX201", L"Bluetooth PAN"})),
            "Adapter 1: Intel(R) Wi-Fi 6 AX201 | Adapter 2: Bluetooth PAN");
  EXPECT_EQ(U8(ComposeNetworkAdapters(wifiOnly, {})), "None / Offline");
  EXPECT_EQ(U8(ComposeNetworkAdapters({}, {})), "None / Offline");
  EXPECT_TRUE(EthernetAdapterEntries(wifiOnly).empty());
}

}  // namespace
}  // namespace tvde
