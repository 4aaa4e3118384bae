// Linux sources on prepared /proc texts and sysfs trees.
#include "hardware/posix/hardware_sources_posix.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "hardware/smbios_table.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::U8;

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

TEST(LinuxSources, CpuInfoAndMemInfo) {
  const std::string cpuinfo =
      "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Xeon(R) Gold 6230 CPU @ "
      "2.10GHz \ncpu MHz\t\t: 2095.078\n\nprocessor\t: 1\nmodel name\t: other\ncpu MHz\t\t: 800\n";
  EXPECT_EQ(U8(CpuInfoValue(cpuinfo, "model name")), "Intel(R) Xeon(R) Gold 6230 CPU @ 2.10GHz");
  EXPECT_EQ(CpuInfoMhz(cpuinfo), 2095u);
  EXPECT_EQ(U8(CpuInfoValue(cpuinfo, "flags")), "");
  EXPECT_EQ(CpuInfoMhz("processor : 0\n"), 0u);
  EXPECT_EQ(CpuInfoMhz("cpu MHz : nonsense\n"), 0u);

  EXPECT_EQ(MemInfoTotalBytes("MemFree: 5 kB\nMemTotal:       24683784 kB\n"), 24683784ULL * 1024);
  EXPECT_EQ(MemInfoTotalBytes("MemFree: 5 kB\n"), 0u);
  EXPECT_EQ(MemInfoTotalBytes("MemTotal: x kB\n"), 0u);
}

TEST(LinuxSources, KernelSmbiosCopyGetsTheHeaderTheParserExpects) {
  const std::vector<uint8_t> structures = {1,   8, 0, 0,   1, 2, 0, 0, 'A', 0,
                                           'B', 0, 0, 127, 4, 0, 0, 0, 0};
  std::vector<uint8_t> entry3 = {'_', 'S', 'M', '3', '_', 0, 24, 3, 6, 0};
  const auto table = WrapSmbiosTable(entry3, structures);
  ASSERT_EQ(table.size(), 8 + structures.size());
  EXPECT_EQ(table[1], 3);
  EXPECT_EQ(table[2], 6);
  EXPECT_EQ(table[4], structures.size());
  EXPECT_EQ(table[5] | table[6] | table[7], 0);
  const SmbiosFacts facts = ParseSmbiosTable(table);
  EXPECT_EQ(U8(facts.manufacturer), "A");
  EXPECT_EQ(U8(facts.model), "B");

  const std::vector<uint8_t> entry2 = {'_', 'S', 'M', '_', 0, 31, 2, 8};
  const auto old = WrapSmbiosTable(entry2, structures);
  EXPECT_EQ(old[1], 2);
  EXPECT_EQ(old[2], 8);
  EXPECT_EQ(WrapSmbiosTable({}, structures)[1], 0);
}

TEST(LinuxSources, NetworkInterfacesWithDevicesInIndexOrder) {
  TempDir dir;
  const fs::path net = dir.path() / "class" / "net";
  const fs::path devices = dir.path() / "devices";
  const auto iface = [&](const std::string& name, const std::string& type, const std::string& mac,
                         int index, const std::string& driver, bool wireless) {
    WriteFile(net / name / "type", type + "\n");
    WriteFile(net / name / "address", mac + "\n");
    WriteFile(net / name / "ifindex", std::to_string(index) + "\n");
    if (!driver.empty()) {
      fs::create_directories(devices / name);
      fs::create_directories(dir.path() / "drivers" / driver);
      fs::create_directory_symlink(devices / name, net / name / "device");
      fs::create_directory_symlink(dir.path() / "drivers" / driver, devices / name / "driver");
    }
    if (wireless) fs::create_directories(net / name / "wireless");
  };
  iface("lo", "772", "00:00:00:00:00:00", 1, "", false);
  iface("enp3s0", "1", "8C:8C:AA:12:34:56", 3, "e1000e", false);
  iface("wlp2s0", "1", "aa:bb:cc:dd:ee:ff", 2, "iwlwifi", true);
  iface("docker0", "1", "02:42:ac:11:00:01", 4, "", false);  // software bridge: no device
  iface("eth9", "1", "not-a-mac", 5, "virtio_net", false);

  const auto adapters = ReadSysfsNetworkAdapters(net);
  ASSERT_EQ(adapters.size(), 2u);
  EXPECT_EQ(adapters[0].type, kAdapterTypeWireless);
  EXPECT_EQ(adapters[1].type, kAdapterTypeEthernet);
  EXPECT_EQ(U8(adapters[1].description), "enp3s0 (e1000e)");
  EXPECT_EQ(U8(ComposeNetworkAdapters(adapters, {})),
            "Adapter 1: enp3s0 (e1000e), 8c:8c:aa:12:34:56");
  EXPECT_TRUE(ReadSysfsNetworkAdapters(dir.path() / "missing").empty());
}

TEST(LinuxSources, PciFunctionsAndNameDatabase) {
  TempDir dir;
  const fs::path pci = dir.path() / "pci";
  WriteFile(pci / "0000:00:02.0" / "class", "0x030000\n");
  WriteFile(pci / "0000:00:02.0" / "vendor", "0x8086\n");
  WriteFile(pci / "0000:00:02.0" / "device", "0x9a49\n");
  WriteFile(pci / "0000:00:01.0" / "class", "0x010802\n");
  WriteFile(pci / "0000:00:01.0" / "vendor", "0x144d\n");
  WriteFile(pci / "0000:00:01.0" / "device", "0xa808\n");
  WriteFile(pci / "0000:00:03.0" / "class", "garbage\n");
  const auto functions = ReadSysfsPciFunctions(pci);
  ASSERT_EQ(functions.size(), 2u);
  EXPECT_EQ(functions[0].classCode, 0x010802u);
  EXPECT_EQ(functions[0].vendor, 0x144d);
  EXPECT_EQ(functions[1].device, 0x9a49);
  EXPECT_EQ(functions[1].driver, "");

  const std::string ids =
      "# comment\n"
      "144d  Samsung Electronics Co Ltd\n"
      "\ta808  NVMe SSD Controller SM981/PM981/PM983\n"
      "\t\t144d a801  SSD 970 EVO Plus\n"
      "8086  Intel Corporation\n"
      "\t9a40  Other\n"
      "\t9a49  TigerLake-LP GT2 [Iris Xe Graphics]\n"
      "C 03  Display controller\n"
      "\t00  VGA compatible controller\n";
  std::istringstream a(ids);
  const PciNames intel = LookupPciNames(a, 0x8086, 0x9a49);
  EXPECT_EQ(intel.vendor, "Intel Corporation");
  EXPECT_EQ(intel.device, "TigerLake-LP GT2 [Iris Xe Graphics]");
  std::istringstream b(ids);
  const PciNames unknownDevice = LookupPciNames(b, 0x144d, 0xa801);  // only a subsystem id
  EXPECT_EQ(unknownDevice.vendor, "Samsung Electronics Co Ltd");
  EXPECT_EQ(unknownDevice.device, "");
  std::istringstream c(ids);
  EXPECT_EQ(LookupPciNames(c, 0x0300, 0x0000).vendor, "");  // class lines are not vendors
}

}  // namespace
}  // namespace tvde
