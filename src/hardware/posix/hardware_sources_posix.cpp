// Readers and parsers of the Linux hardware sources.
#include "hardware/posix/hardware_sources_posix.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/byte_order.h"
#include "base/text.h"
#include "hardware/hardware_text.h"
#include "hardware/smbios_table.h"

namespace tvde {
namespace {

namespace fs = std::filesystem;

std::string TrimLine(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

bool ParseHex(const std::string& text, uint32_t& value) {
  const std::string t = TrimLine(text);
  if (t.empty()) return false;
  char* end = nullptr;
  const unsigned long parsed = std::strtoul(t.c_str(), &end, 16);
  if (end == t.c_str() || *end != '\0') return false;
  value = static_cast<uint32_t>(parsed);
  return true;
}

bool ParseMac(const std::string& text, std::array<uint8_t, 6>& mac) {
  const std::string t = TrimLine(text);
  if (t.size() != 17) return false;
  for (size_t i = 0; i < 6; ++i) {
    if (i > 0 && t[i * 3 - 1] != ':') return false;
    uint32_t byte = 0;
    if (!ParseHex(t.substr(i * 3, 2), byte)) return false;
    mac[i] = static_cast<uint8_t>(byte);
  }
  return true;
}

std::string LinkName(const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  return error ? std::string() : target.filename().string();
}

}  // namespace

std::wstring SysfsText(const std::string& bytes) {
  std::wstring wide = Utf8ToWide(bytes);
  return wide.empty() ? AsciiToWide(bytes) : wide;
}

std::string ReadSmallFile(const fs::path& path, size_t maxBytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string data(maxBytes, '\0');
  in.read(data.data(), static_cast<std::streamsize>(maxBytes));
  data.resize(static_cast<size_t>(in.gcount()));
  return data;
}

std::vector<uint8_t> WrapSmbiosTable(std::span<const uint8_t> entryPoint,
                                     std::span<const uint8_t> structures) {
  std::vector<uint8_t> table(kSmbiosHeaderSize + structures.size(), 0);
  const auto startsWith = [&entryPoint](std::string_view anchor) {
    return entryPoint.size() >= anchor.size() &&
           std::equal(anchor.begin(), anchor.end(), entryPoint.begin());
  };
  if (startsWith("_SM3_") && entryPoint.size() > 8) {
    table[1] = entryPoint[7];
    table[2] = entryPoint[8];
  } else if (startsWith("_SM_") && entryPoint.size() > 7) {
    table[1] = entryPoint[6];
    table[2] = entryPoint[7];
  }
  PutLe32(std::span<uint8_t>(table).subspan(kSmbiosLengthOffset),
          static_cast<uint32_t>(structures.size()));
  std::copy(structures.begin(), structures.end(), table.begin() + kSmbiosHeaderSize);
  return table;
}

std::wstring CpuInfoValue(const std::string& cpuinfo, const std::string& key) {
  std::istringstream lines(cpuinfo);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (TrimLine(line.substr(0, colon)) == key) return SysfsText(TrimLine(line.substr(colon + 1)));
  }
  return {};
}

uint32_t CpuInfoMhz(const std::string& cpuinfo) {
  const std::string text = WideToUtf8(CpuInfoValue(cpuinfo, "cpu MHz"));
  if (text.empty()) return 0;
  const double mhz = std::strtod(text.c_str(), nullptr);
  if (!(mhz > 0.0) || mhz > 4.0e9) return 0;
  return static_cast<uint32_t>(mhz);
}

uint64_t MemInfoTotalBytes(const std::string& meminfo) {
  std::istringstream lines(meminfo);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("MemTotal:", 0) != 0) continue;
    std::istringstream fields(line.substr(9));
    uint64_t kib = 0;
    std::string unit;
    if (!(fields >> kib)) return 0;
    fields >> unit;
    return unit == "kB" || unit.empty() ? kib * 1024 : 0;
  }
  return 0;
}

std::vector<NetworkAdapterFacts> ReadSysfsNetworkAdapters(const fs::path& classNet) {
  struct Found {
    long index;
    NetworkAdapterFacts facts;
  };
  std::vector<Found> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(classNet, error)) {
    const fs::path& dir = entry.path();
    std::error_code ignored;
    // Only interfaces of a real (or virtualised) device; software interfaces have none.
    if (!fs::exists(dir / "device", ignored)) continue;
    const std::string typeText = TrimLine(ReadSmallFile(dir / "type", 64));
    char* typeEnd = nullptr;
    const unsigned long arpType = std::strtoul(typeText.c_str(), &typeEnd, 10);
    if (typeText.empty() || *typeEnd != '\0') continue;
    NetworkAdapterFacts facts;
    if (!ParseMac(ReadSmallFile(dir / "address", 64), facts.address)) continue;
    const bool wireless =
        fs::exists(dir / "wireless", ignored) || fs::exists(dir / "phy80211", ignored);
    constexpr unsigned long kArpEther = 1;  // ARPHRD_ETHER
    facts.type = wireless ? kAdapterTypeWireless : arpType == kArpEther ? kAdapterTypeEthernet : 0;
    const std::string driver = LinkName(dir / "device" / "driver");
    const std::string name = dir.filename().string();
    facts.description = SysfsText(driver.empty() ? name : name + " (" + driver + ")");
    const long index =
        std::strtol(TrimLine(ReadSmallFile(dir / "ifindex", 64)).c_str(), nullptr, 10);
    found.push_back({index, std::move(facts)});
  }
  std::sort(found.begin(), found.end(),
            [](const Found& a, const Found& b) { return a.index < b.index; });
  std::vector<NetworkAdapterFacts> adapters;
  for (Found& f : found)
    adapters.push_back(std::move(f.facts));
  return adapters;
}

std::vector<PciFunction> ReadSysfsPciFunctions(const fs::path& pciDevices) {
  std::vector<fs::path> dirs;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(pciDevices, error))
    dirs.push_back(entry.path());
  std::sort(dirs.begin(), dirs.end());  // bus address order
  std::vector<PciFunction> functions;
  for (const fs::path& dir : dirs) {
    uint32_t classCode = 0, vendor = 0, device = 0;
    if (!ParseHex(ReadSmallFile(dir / "class", 64), classCode) ||
        !ParseHex(ReadSmallFile(dir / "vendor", 64), vendor) ||
        !ParseHex(ReadSmallFile(dir / "device", 64), device)) {
      continue;
    }
    functions.push_back({classCode, static_cast<uint16_t>(vendor), static_cast<uint16_t>(device),
                         LinkName(dir / "driver")});
  }
  return functions;
}

PciNames LookupPciNames(std::istream& pciIds, uint16_t vendor, uint16_t device) {
  // Vendor lines: "vvvv  Name"; their devices follow as "\tdddd  Name"; subsystems use two
  // tabs. The device classes start with "C ".
  PciNames names;
  const std::string vendorKey = FormatPrintf("%04x", vendor);
  const std::string deviceKey = FormatPrintf("%04x", device);
  bool inVendor = false;
  std::string line;
  while (std::getline(pciIds, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] != '\t') {
      if (inVendor || line.rfind("C ", 0) == 0) break;
      if (line.size() > 6 && line.compare(0, 4, vendorKey) == 0 && line[4] == ' ') {
        names.vendor = TrimLine(line.substr(4));
        inVendor = true;
      }
    } else if (inVendor && line.size() > 7 && line[1] != '\t' &&
               line.compare(1, 4, deviceKey) == 0 && line[5] == ' ') {
      names.device = TrimLine(line.substr(5));
      break;
    }
  }
  return names;
}

}  // namespace tvde
