// The two embedded UEFI report images: valid EFI applications of the right machine, fixed
// sizes, the font inside, and the report block with its built-in values in writable data.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "bootprog/boot_programs.h"
#include "bootprog/efi/font_8x16.h"

namespace tvde {
namespace {

constexpr char kMagic[] = "TVDE_EFI_STAMP_V2_MAGIC";
constexpr size_t kBlockSize = 2792;
constexpr uint32_t kScnInitialisedData = 0x40;
constexpr uint32_t kScnExecute = 0x20000000;
constexpr uint32_t kScnWrite = 0x80000000;

struct Section {
  std::string name;
  uint32_t virtualSize, virtualAddress, rawSize, rawOffset, characteristics;
};

struct PeImage {
  uint16_t machine = 0, characteristics = 0, optionalMagic = 0, subsystem = 0;
  uint32_t entryPoint = 0;
  std::vector<Section> sections;
};

// Parses the headers the way a loader reads them; fails the test on a malformed image.
PeImage ParsePe(std::span<const uint8_t> file) {
  PeImage pe;
  EXPECT_GE(file.size(), 0x40u);
  EXPECT_EQ(file[0], 'M');
  EXPECT_EQ(file[1], 'Z');
  const uint32_t header = GetLe32(file.subspan(0x3C));
  EXPECT_LT(header + 24u, file.size());
  EXPECT_EQ(std::memcmp(file.data() + header, "PE\0\0", 4), 0);
  pe.machine = GetLe16(file.subspan(header + 4));
  const uint16_t sectionCount = GetLe16(file.subspan(header + 6));
  const uint16_t optionalSize = GetLe16(file.subspan(header + 20));
  pe.characteristics = GetLe16(file.subspan(header + 22));
  const size_t optional = header + 24;
  pe.optionalMagic = GetLe16(file.subspan(optional));
  pe.entryPoint = GetLe32(file.subspan(optional + 16));
  pe.subsystem = GetLe16(file.subspan(optional + 68));
  for (size_t i = 0; i < sectionCount; ++i) {
    const auto s = file.subspan(optional + optionalSize + 40 * i, 40);
    Section section;
    section.name.assign(reinterpret_cast<const char*>(s.data()),
                        strnlen(reinterpret_cast<const char*>(s.data()), 8));
    section.virtualSize = GetLe32(s.subspan(8));
    section.virtualAddress = GetLe32(s.subspan(12));
    section.rawSize = GetLe32(s.subspan(16));
    section.rawOffset = GetLe32(s.subspan(20));
    section.characteristics = GetLe32(s.subspan(36));
    pe.sections.push_back(section);
  }
  return pe;
}

std::vector<size_t> FindAll(std::span<const uint8_t> haystack, std::span<const uint8_t> needle) {
  std::vector<size_t> hits;
  for (size_t i = 0; i + needle.size() <= haystack.size(); ++i) {
    if (std::memcmp(haystack.data() + i, needle.data(), needle.size()) == 0) hits.push_back(i);
  }
  return hits;
}

std::span<const uint8_t> Bytes(const char* text) {
  return {reinterpret_cast<const uint8_t*>(text), std::strlen(text)};
}

// A field holds the text, then zero bytes up to its width.
void ExpectField(std::span<const uint8_t> block, size_t offset, size_t width,
                 const std::string& text) {
  SCOPED_TRACE("field at " + std::to_string(offset) + ": " + text);
  ASSERT_LT(text.size(), width);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(block.data() + offset), text.size()), text);
  for (size_t i = text.size(); i < width; ++i)
    ASSERT_EQ(block[offset + i], 0) << "byte " << i;
}

struct Arch {
  const char* name;
  std::span<const uint8_t> (*image)();
  size_t size;
  uint16_t machine;
  uint16_t optionalMagic;  // PE32+ or PE32
};

const Arch kArches[] = {
    {"x64", [] { return EmbeddedBootPrograms().efiReportX64; }, 10240, 0x8664, 0x20B},
    {"ia32", [] { return EmbeddedBootPrograms().efiReportIa32; }, 9216, 0x014C, 0x10B},
};

void PrintTo(const Arch& arch, std::ostream* out) {
  *out << arch.name;
}

class EfiImageTest : public ::testing::TestWithParam<Arch> {};

TEST_P(EfiImageTest, IsAnEfiApplicationOfItsMachineAndFixedSize) {
  const auto image = GetParam().image();
  ASSERT_EQ(image.size(), GetParam().size);
  const PeImage pe = ParsePe(image);
  EXPECT_EQ(pe.machine, GetParam().machine);
  EXPECT_EQ(pe.optionalMagic, GetParam().optionalMagic);
  EXPECT_EQ(pe.subsystem, 10) << "EFI application";
  EXPECT_EQ(pe.characteristics & 0x0001, 0) << "relocations stripped: firmware could not move it";

  // The entry point lies in executable code; every section's stored bytes lie in the file and
  // whatever follows the last of them is zero padding.
  bool entryInCode = false;
  size_t end = 0;
  for (const Section& s : pe.sections) {
    if ((s.characteristics & kScnExecute) && pe.entryPoint >= s.virtualAddress &&
        pe.entryPoint < s.virtualAddress + s.virtualSize) {
      entryInCode = true;
    }
    EXPECT_LE(s.rawOffset + s.rawSize, image.size()) << s.name;
    end = std::max<size_t>(end, s.rawOffset + s.rawSize);
  }
  EXPECT_TRUE(entryInCode);
  for (size_t i = end; i < image.size(); ++i)
    ASSERT_EQ(image[i], 0) << "padding byte " << i;
}

TEST_P(EfiImageTest, HoldsTheReportBlockOnceInWritableInitialisedData) {
  const auto image = GetParam().image();
  const auto hits = FindAll(image, Bytes(kMagic));
  ASSERT_EQ(hits.size(), 1u);
  const size_t offset = hits[0];
  ASSERT_LE(offset + kBlockSize, image.size());

  // Patching the file must change what the program reads: the block has to be in stored,
  // initialised, writable data (not in code where a constant copy could live).
  const PeImage pe = ParsePe(image);
  bool inData = false;
  for (const Section& s : pe.sections) {
    const size_t stored = std::min(s.rawSize, s.virtualSize);
    if (offset >= s.rawOffset && offset + kBlockSize <= s.rawOffset + stored) {
      inData = (s.characteristics & kScnInitialisedData) && (s.characteristics & kScnWrite) &&
               !(s.characteristics & kScnExecute);
    }
  }
  EXPECT_TRUE(inData);
}

TEST_P(EfiImageTest, BuiltInBlockHoldsTheDefaultReport) {
  const auto image = GetParam().image();
  const auto hits = FindAll(image, Bytes(kMagic));
  ASSERT_EQ(hits.size(), 1u);
  const auto block = image.subspan(hits[0], kBlockSize);

  ExpectField(block, 0, 24, kMagic);
  ExpectField(block, 24, 96,
              "NIST SP 800-88 Rev.1 / DoD 5220.22-M Certified Sanitization & Hardware "
              "Verification");
  ExpectField(block, 120, 32, "SANITIZED & VERIFIED");
  const char* report[7][2] = {
      {"Report / Cert ID  :", "TVDE-DEFAULT-STAMP"},
      {"Sanitization Date :", "2026-10-23 00:00:00"},
      {"Software Version  :", "Toreval Disk Eraser Suite v1.3.0"},
      {"Erasure Standard  :", "NIST SP 800-88 Rev.1 Purge"},
      {"Verification      :", "PASSED (All Sampled Sectors Verified Clean)"},
      {"Operator / Org    :", "Toreval / Toreval Tools Lab"},
      {"SHA-256 Signature :", "N/A"},
  };
  for (size_t i = 0; i < 7; ++i) {
    ExpectField(block, 152 + 120 * i, 28, report[i][0]);
    ExpectField(block, 180 + 120 * i, 92, report[i][1]);
  }
  const char* hardware[15][2] = {
      {"Manufacturer      :", "Standard PC"},
      {"Chassis Type      :", "Desktop / Notebook"},
      {"System Model      :", "Generic System"},
      {"System Serial     :", "N/A"},
      {"System UUID       :", "N/A"},
      {"Asset Tag         :", "None"},
      {"Processor (CPU)   :", "x86/x64 Processor"},
      {"Total Memory      :", "N/A"},
      {"Sanitized Disk    :", "Internal Storage"},
      {"Disk Geometry     :", "512 B/Sector"},
      {"Graphics Adapter  :", "Standard GOP Display"},
      {"Audio Controller  :", "Standard Audio"},
      {"Network / MAC     :", "Ethernet Adapter"},
      {"Motherboard       :", "System BaseBoard"},
      {"BIOS / Storage    :", "UEFI / Storage Controller"},
  };
  for (size_t i = 0; i < 15; ++i) {
    ExpectField(block, 992 + 120 * i, 28, hardware[i][0]);
    ExpectField(block, 1020 + 120 * i, 92, hardware[i][1]);
  }
}

TEST_P(EfiImageTest, CarriesTheFontBitmap) {
  const auto image = GetParam().image();
  const std::span<const uint8_t> font(&bootfont::kFont.glyphs[0][0], sizeof bootfont::kFont);
  EXPECT_EQ(FindAll(image, font).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(BothArchitectures, EfiImageTest, ::testing::ValuesIn(kArches),
                         [](const ::testing::TestParamInfo<Arch>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
}  // namespace tvde
