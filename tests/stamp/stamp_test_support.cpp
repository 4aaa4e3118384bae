// Fixtures of the stamp tests.
#include "stamp_test_support.h"

#include <algorithm>
#include <sstream>

#include "base/text.h"
#include "hardware/hardware_fields.h"

namespace tvde::testing {
namespace {

std::vector<uint8_t> Pattern(size_t size, uint8_t seed, size_t magicOffset = 0) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>(seed + i * 7);
  const std::string magic("TVDE_EFI_STAMP_V2_MAGIC", magicOffset != 0 ? 24 : 0);  // with its zero
  std::copy(magic.begin(), magic.end(), bytes.begin() + static_cast<ptrdiff_t>(magicOffset));
  return bytes;
}

}  // namespace

StampPayload SamplePayload() {
  StampPayload p;
  p.claim = StampClaim::ErasureOfThisDisk;  // the erasing job's own stamp
  const std::pair<const char*, std::wstring StampPayload::*> texts[] = {
      {"certificateId", &StampPayload::certificateId},
      {"sanitizationDate", &StampPayload::sanitizationDate},
      {"softwareVersion", &StampPayload::softwareVersion},
      {"standardName", &StampPayload::standardName},
      {"verification", &StampPayload::verification},
      {"diskModel", &StampPayload::diskModel},
      {"diskSerial", &StampPayload::diskSerial},
      {"diskCapacity", &StampPayload::diskCapacity},
      {"operatorName", &StampPayload::operatorName},
      {"organizationName", &StampPayload::organizationName},
      {"sha256Fingerprint", &StampPayload::sha256Fingerprint},
      {"stampState", &StampPayload::stampState}};
  std::istringstream lines(ReadGolden("sample_payload.txt"));
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (line[0] == '#' || equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
    if (key == "incomplete") p.incomplete = std::stoi(value);
    if (key == "passesCompleted") p.passesCompleted = std::stoi(value);
    for (const auto& [name, member] : texts) {
      if (key == name) p.*member = Utf8ToWide(value);
    }
    for (const HardwareFieldRef& field : kHardwareFields) {
      if (key == "hardware." + std::string(field.name))
        p.hardware.*field.member = Utf8ToWide(value);
    }
  }
  return p;
}

SyntheticPrograms::SyntheticPrograms()
    : mbr(Pattern(kMbrBootCodeSize, 0x01)),
      bios(Pattern(84, 0x41)),
      x64(Pattern(kEfiReportX64Size, 0x10, kX64MagicOffset)),
      ia32(Pattern(kEfiReportIa32Size, 0x90, kIa32MagicOffset)) {}

}  // namespace tvde::testing
