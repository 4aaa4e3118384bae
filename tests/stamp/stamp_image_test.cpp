// The stamp image parsed back: MBR, record, BIOS area, FAT16 boot sector, FATs, directories and
// files, for several report sizes and device sector sizes, and the programs it refuses.
#include "stamp/stamp_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stamp_test_support.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using namespace std::string_literals;

constexpr size_t kFat1 = 0x8200;
constexpr size_t kFat2 = 0xC200;

size_t Cluster(uint32_t c) {
  return 0x14200 + (c - 2) * 512;
}

// The clusters of a file, following FAT #1 from its first cluster; empty when broken.
std::vector<uint32_t> Chain(std::span<const uint8_t> image, uint32_t first) {
  std::vector<uint32_t> chain{first};
  for (uint16_t next; (next = Le16(image, kFat1 + 2 * chain.back())) != 0xFFFF;) {
    if (next < 2 || chain.size() > 200) return {};
    chain.push_back(next);
  }
  return chain;
}

std::vector<uint32_t> Clusters(uint32_t first, uint32_t count) {
  std::vector<uint32_t> clusters;
  for (uint32_t c = first; c < first + count; ++c)
    clusters.push_back(c);
  return clusters;
}

std::vector<uint8_t> Assemble(const std::string& report, const std::string& record = "R",
                              const std::string& message = "M") {
  const SyntheticPrograms p;
  std::vector<uint8_t> image(131072, 0xEE);
  EXPECT_TRUE(AssembleStampImage(image, {p.mbr, p.bios, message, record, report, p.x64, p.ia32}));
  return image;
}

std::string ReportOfSize(size_t size) {
  std::string text(size, ' ');
  for (size_t i = 0; i < size; ++i)
    text[i] = static_cast<char>('!' + i % 90);
  return text;
}

TEST(StampImage, SamplePayloadParsesBackSectorBySector) {
  const SyntheticPrograms programs;
  const PageBuffer built = BuildStampImage(SamplePayload(), 512, programs.view());
  ASSERT_TRUE(built.valid());
  const std::vector<uint8_t> image(built.data(), built.data() + built.size());
  ASSERT_EQ(image.size(), 131072u);
  const std::string screen = ReadGolden("sample_screen.txt");

  // LBA 0: code, a zero, the read packet of LBA 5..12, the message, one partition entry.
  EXPECT_EQ(Bytes(image, 0, 63), Bytes(programs.mbr, 0, 63));
  EXPECT_EQ(Bytes(image, 0x3F, 17), std::string("\0\x10\0\x08\0\0\x80\0\0\x05\0\0\0\0\0\0\0", 17));
  const std::string message = ReadGolden("sample_message.txt");
  EXPECT_EQ(CString(image, 0x50), message);
  EXPECT_TRUE(AllZero(image, 0x50 + message.size(), 0x1BE));
  EXPECT_EQ(Bytes(image, 0x1BE, 16), "\x80\x01\x01\x00\xEF\xFE\x3F\x04\x40\0\0\0\0\x20\0\0"s);
  EXPECT_TRUE(AllZero(image, 0x1CE, 0x1FE));
  EXPECT_EQ(Bytes(image, 0x1FE, 2), "\x55\xAA");
  // LBA 1..4 the record, LBA 5 the BIOS program, its text from 0xA60; zeroes up to LBA 64.
  EXPECT_EQ(CString(image, 0x200), ReadGolden("sample_record.txt"));
  EXPECT_TRUE(AllZero(image, 0x200 + ReadGolden("sample_record.txt").size(), 0xA00));
  EXPECT_EQ(Bytes(image, 0xA00, 84), Bytes(programs.bios, 0, 84));
  EXPECT_TRUE(AllZero(image, 0xA54, 0xA60));
  EXPECT_EQ(CString(image, 0xA60), screen);
  EXPECT_TRUE(AllZero(image, 0xA60 + screen.size(), 0x8000));

  // The FAT16 boot sector of the 8192-sector volume at LBA 64.
  const std::vector<std::pair<size_t, std::string>> bootSector = {
      {0x00,
       "\xEB\x3C\x90TOREVAL \x00\x02\x01\x01\x00\x02\x00\x02\x00\x20\xF8\x20\x00\x3F\x00"
       "\xFF\x00\x40\x00\x00\x00\x00\x00\x00\x00\x80\x00\x29\x23\x10\x26\x20TVDE_STAMP FAT16   "s},
      {0x1FE, "\x55\xAA"}};
  for (const auto& [offset, bytes] : bootSector)
    EXPECT_EQ(Bytes(image, 0x8000 + offset, bytes.size()), bytes) << offset;
  EXPECT_TRUE(AllZero(image, 0x803E, 0x81FE));

  // Directories: label and EFI in the root, ".", ".." and BOOT in EFI, then the three files.
  struct Entry {
    size_t offset;
    std::string name;
    uint8_t attributes;
    uint16_t cluster;
    uint32_t size;
  };
  const Entry entries[] = {
      {0x10200, "TVDE_STAMP ", 0x08, 0, 0},
      {0x10220, "EFI        ", 0x10, 2, 0},
      {Cluster(2), ".          ", 0x10, 2, 0},
      {Cluster(2) + 32, "..         ", 0x10, 0, 0},
      {Cluster(2) + 64, "BOOT       ", 0x10, 3, 0},
      {Cluster(3), ".          ", 0x10, 3, 0},
      {Cluster(3) + 32, "..         ", 0x10, 2, 0},
      {Cluster(3) + 64, "BOOTX64 EFI", 0x20, 4, 10240},
      {Cluster(3) + 96, "BOOTIA32EFI", 0x20, 24, 9216},
      {Cluster(3) + 128, "REPORT  TXT", 0x20, 42, static_cast<uint32_t>(screen.size())},
  };
  for (const Entry& e : entries) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(Bytes(image, e.offset, 11), e.name);
    EXPECT_EQ(image[e.offset + 11], e.attributes);
    EXPECT_TRUE(AllZero(image, e.offset + 12, e.offset + 26)) << "no times, dates, high cluster";
    EXPECT_EQ(Le16(image, e.offset + 26), e.cluster);
    EXPECT_EQ(Le32(image, e.offset + 28), e.size);
  }
  EXPECT_TRUE(AllZero(image, 0x10240, Cluster(2)));
  EXPECT_TRUE(AllZero(image, Cluster(2) + 96, Cluster(3)));
  EXPECT_TRUE(AllZero(image, Cluster(3) + 160, Cluster(4)));

  // FAT #1 chains each file through consecutive clusters; FAT #2 is its copy.
  EXPECT_EQ(Bytes(image, kFat1, 8), "\xF8\xFF\xFF\xFF\xFF\xFF\xFF\xFF");
  EXPECT_EQ(Chain(image, 4), Clusters(4, 20));
  EXPECT_EQ(Chain(image, 24), Clusters(24, 18));
  const uint32_t reportClusters = static_cast<uint32_t>((screen.size() + 511) / 512);
  EXPECT_EQ(Chain(image, 42), Clusters(42, reportClusters));
  EXPECT_TRUE(AllZero(image, kFat1 + 2 * (42 + reportClusters), kFat2));
  EXPECT_EQ(Bytes(image, kFat1, 0x4000), Bytes(image, kFat2, 0x4000));

  // The files: each program as built except its block, which carries the report; the text.
  for (const auto& [program, cluster, magic] :
       {std::tuple{&programs.x64, 4u, SyntheticPrograms::kX64MagicOffset},
        std::tuple{&programs.ia32, 24u, SyntheticPrograms::kIa32MagicOffset}}) {
    const std::string stored = Bytes(image, Cluster(cluster), program->size());
    const std::string original = Bytes(*program, 0, program->size());
    EXPECT_EQ(stored.substr(0, magic), original.substr(0, magic));
    EXPECT_EQ(CString(image, Cluster(cluster) + magic + 152 + 28), "TVDE-20261023-A1B2C3");
    EXPECT_EQ(stored.substr(magic + 2792), original.substr(magic + 2792));
  }
  EXPECT_EQ(Bytes(image, Cluster(42), screen.size()), screen);
  EXPECT_TRUE(AllZero(image, Cluster(42) + screen.size(), image.size()));
}

TEST(StampImage, ReportRecordAndMessageAreCutToTheirSlots) {
  struct Case {
    size_t reportSize, storedSize;
  };
  for (const Case c : {Case{512, 512}, Case{513, 513}, Case{3996, 3996}, Case{5000, 3996}}) {
    SCOPED_TRACE(c.reportSize);
    const std::string report = ReportOfSize(c.reportSize);
    const auto image = Assemble(report);
    EXPECT_EQ(CString(image, 0xA60), report.substr(0, c.storedSize));  // zero by 0x19FC
    EXPECT_EQ(Le32(image, Cluster(3) + 128 + 28), c.storedSize);
    const uint32_t clusters = static_cast<uint32_t>((c.storedSize + 511) / 512);
    EXPECT_EQ(Chain(image, 42), Clusters(42, clusters));
    EXPECT_EQ(Le16(image, kFat1 + 2 * (42 + clusters)), 0);
    EXPECT_EQ(Bytes(image, Cluster(42), c.storedSize), report.substr(0, c.storedSize));
    EXPECT_TRUE(AllZero(image, Cluster(42) + c.storedSize, image.size()));
  }
  const auto image =
      Assemble("r", "TVDE_STAMP_V2|" + std::string(3000, 'R'), std::string(400, 'M'));
  EXPECT_EQ(CString(image, 0x200).size(), 2047u);
  EXPECT_EQ(CString(image, 0x50), std::string(300, 'M'));
  EXPECT_TRUE(AllZero(image, 0x17C, 0x1BE));
  EXPECT_EQ(image[0x1BE], 0x80);
}

TEST(StampImage, SameBytesForEverySectorSizePaddedToWholeSectors) {
  const SyntheticPrograms programs;
  const PageBuffer base = BuildStampImage(SamplePayload(), 512, programs.view());
  ASSERT_TRUE(base.valid());
  for (const auto& [sector, length] :
       {std::pair{0u, 131072u}, std::pair{4096u, 131072u}, std::pair{520u, 131560u}}) {
    SCOPED_TRACE(sector);
    EXPECT_EQ(StampImageLength(sector), length);
    const PageBuffer other = BuildStampImage(SamplePayload(), sector, programs.view());
    ASSERT_TRUE(other.valid());
    ASSERT_EQ(other.size(), length);
    EXPECT_TRUE(std::equal(base.span().begin(), base.span().end(), other.span().begin()));
    EXPECT_TRUE(AllZero(other.span(), 131072, length));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(other.data()) % 4096, 0u);
  }
}

TEST(StampImage, RefusesProgramsThatDoNotFitOrCannotCarryTheReport) {
  const StampPayload payload = SamplePayload();
  SyntheticPrograms p;
  p.bios.resize(96, 0x90);
  EXPECT_TRUE(BuildStampImage(payload, 512, p.view()).valid());
  p.bios.resize(97, 0x90);
  EXPECT_FALSE(BuildStampImage(payload, 512, p.view()).valid());
  // Without its block a program would boot showing default values as this disk's report.
  p = SyntheticPrograms();
  p.ia32[SyntheticPrograms::kIa32MagicOffset] = 'X';
  EXPECT_FALSE(BuildStampImage(payload, 512, p.view()).valid());
}

}  // namespace
}  // namespace tvde
