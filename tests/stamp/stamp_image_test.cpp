// The stamp image parsed back: MBR, record, BIOS area, FAT16 boot sector, FATs, directories and
// files, for several report sizes and both device sector sizes, and the programs it refuses.
#include "stamp/stamp_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stamp_test_support.h"

namespace tvde {
namespace {

using namespace tvde::testing;
using namespace std::string_literals;

// The FAT volume of each device sector size, behind the same bytes 0..0x7FFF: its first sector
// and sectors per FAT, where the FATs, the root and cluster 2 lie, and the first clusters of
// BOOTIA32.EFI and REPORT.TXT (BOOTX64.EFI always at 4).
struct Layout {
  uint32_t sector;
  uint8_t first, fatSectors;
  size_t fat1, fat2, root, data;
  uint32_t ia32, report;

  size_t Cluster(uint32_t c) const { return data + (c - 2) * sector; }
  uint32_t ClustersOf(size_t bytes) const {
    return static_cast<uint32_t>((bytes + sector - 1) / sector);
  }
};
const Layout k512 = {512, 64, 32, 0x8200, 0xC200, 0x10200, 0x14200, 24, 42};
const Layout k4096 = {4096, 8, 4, 0x9000, 0xD000, 0x11000, 0x15000, 7, 10};

// The clusters of a file, following FAT #1 from its first cluster; empty when broken.
std::vector<uint32_t> Chain(std::span<const uint8_t> image, uint32_t first,
                            const Layout& layout = k512) {
  std::vector<uint32_t> chain{first};
  for (uint16_t next; (next = Le16(image, layout.fat1 + 2 * chain.back())) != 0xFFFF;) {
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

TEST(StampImage, SamplePayloadParsesBackSectorBySectorInBothLayouts) {
  const SyntheticPrograms programs;
  const std::string screen = ReadGolden("sample_screen.txt");
  const std::string record = ReadGolden("sample_record.txt");
  const std::string message = ReadGolden("sample_message.txt");
  for (const Layout& layout : {k512, k4096}) {
    SCOPED_TRACE(layout.sector);
    const PageBuffer built = BuildStampImage(SamplePayload(), layout.sector, programs.view());
    ASSERT_TRUE(built.valid());
    const std::vector<uint8_t> image(built.data(), built.data() + built.size());
    ASSERT_EQ(image.size(), 131072u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(built.data()) % 4096, 0u);

    // LBA 0: code, a zero, the read packet of LBA 5..12, the message, one partition entry.
    EXPECT_EQ(Bytes(image, 0, 63), Bytes(programs.mbr, 0, 63));
    EXPECT_EQ(Bytes(image, 0x3F, 17),
              std::string("\0\x10\0\x08\0\0\x80\0\0\x05\0\0\0\0\0\0\0", 17));
    EXPECT_EQ(CString(image, 0x50), message);
    EXPECT_TRUE(AllZero(image, 0x50 + message.size(), 0x1BE));
    // Active, fixed CHS values, type EF, 8192 sectors from the first.
    EXPECT_EQ(Bytes(image, 0x1BE, 16),
              "\x80\x01\x01\x00\xEF\xFE\x3F\x04"s + char(layout.first) + "\0\0\0\0\x20\0\0"s);
    EXPECT_TRUE(AllZero(image, 0x1CE, 0x1FE));
    EXPECT_EQ(Bytes(image, 0x1FE, 2), "\x55\xAA");
    // LBA 1..4 the record, LBA 5 the BIOS program, its text from 0xA60; zeroes up to 0x8000.
    EXPECT_EQ(CString(image, 0x200), record);
    EXPECT_TRUE(AllZero(image, 0x200 + record.size(), 0xA00));
    EXPECT_EQ(Bytes(image, 0xA00, 84), Bytes(programs.bios, 0, 84));
    EXPECT_TRUE(AllZero(image, 0xA54, 0xA60));
    EXPECT_EQ(CString(image, 0xA60), screen);
    EXPECT_TRUE(AllZero(image, 0xA60 + screen.size(), 0x8000));

    // The FAT16 boot sector of the 8192-sector volume at byte 0x8000, then the reserved rest.
    EXPECT_EQ(Bytes(image, 0x8000, 11), "\xEB\x3C\x90TOREVAL ");
    EXPECT_EQ(Bytes(image, 0x800B, 21),  // sector size, 1 sector a cluster, 1 reserved, 2 FATs,
              "\0"s + char(layout.sector >> 8) + "\x01\x01\0\x02\0\x02\0\x20\xF8"s +  // 512 root
                  char(layout.fatSectors) + "\0\x3F\0\xFF\0"s + char(layout.first) + "\0\0\0"s);
    EXPECT_EQ(Bytes(image, 0x8020, 30), "\0\0\0\0\x80\0\x29\x23\x10\x26\x20TVDE_STAMP FAT16   "s);
    EXPECT_EQ(Bytes(image, 0x81FE, 2), "\x55\xAA");
    EXPECT_TRUE(AllZero(image, 0x803E, 0x81FE));
    EXPECT_TRUE(AllZero(image, 0x8200, layout.fat1));

    // Directories: label and EFI in the root, ".", ".." and BOOT in EFI, then the three files.
    struct Entry {
      size_t offset;
      std::string name;
      uint8_t attributes;
      uint32_t cluster, size;
    };
    const size_t efi = layout.Cluster(2), boot = layout.Cluster(3);
    const Entry entries[] = {
        {layout.root, "TVDE_STAMP ", 0x08, 0, 0},
        {layout.root + 32, "EFI        ", 0x10, 2, 0},
        {efi, ".          ", 0x10, 2, 0},
        {efi + 32, "..         ", 0x10, 0, 0},
        {efi + 64, "BOOT       ", 0x10, 3, 0},
        {boot, ".          ", 0x10, 3, 0},
        {boot + 32, "..         ", 0x10, 2, 0},
        {boot + 64, "BOOTX64 EFI", 0x20, 4, 10240},
        {boot + 96, "BOOTIA32EFI", 0x20, layout.ia32, 9216},
        {boot + 128, "REPORT  TXT", 0x20, layout.report, static_cast<uint32_t>(screen.size())},
    };
    for (const Entry& e : entries) {
      SCOPED_TRACE(e.name);
      EXPECT_EQ(Bytes(image, e.offset, 11), e.name);
      EXPECT_EQ(image[e.offset + 11], e.attributes);
      EXPECT_TRUE(AllZero(image, e.offset + 12, e.offset + 26)) << "no times, dates, high cluster";
      EXPECT_EQ(Le16(image, e.offset + 26), e.cluster);
      EXPECT_EQ(Le32(image, e.offset + 28), e.size);
    }
    EXPECT_TRUE(AllZero(image, layout.root + 64, efi));
    EXPECT_TRUE(AllZero(image, efi + 96, boot));
    EXPECT_TRUE(AllZero(image, boot + 160, layout.Cluster(4)));

    // FAT #1 chains each file through consecutive clusters; FAT #2 is its copy.
    EXPECT_EQ(Bytes(image, layout.fat1, 8), "\xF8\xFF\xFF\xFF\xFF\xFF\xFF\xFF");
    EXPECT_EQ(Chain(image, 4, layout), Clusters(4, layout.ClustersOf(10240)));
    EXPECT_EQ(Chain(image, layout.ia32, layout), Clusters(layout.ia32, layout.ClustersOf(9216)));
    const uint32_t reportClusters = layout.ClustersOf(screen.size());
    EXPECT_EQ(Chain(image, layout.report, layout), Clusters(layout.report, reportClusters));
    EXPECT_TRUE(AllZero(image, layout.fat1 + 2 * (layout.report + reportClusters), layout.fat2));
    EXPECT_EQ(Bytes(image, layout.fat1, 0x4000), Bytes(image, layout.fat2, 0x4000));

    // The files: each program as built except its block, which carries the report; the text.
    for (const auto& [program, cluster, magic] :
         {std::tuple{&programs.x64, 4u, SyntheticPrograms::kX64MagicOffset},
          std::tuple{&programs.ia32, layout.ia32, SyntheticPrograms::kIa32MagicOffset}}) {
      const std::string stored = Bytes(image, layout.Cluster(cluster), program->size());
      const std::string original = Bytes(*program, 0, program->size());
      EXPECT_EQ(stored.substr(0, magic), original.substr(0, magic));
      EXPECT_EQ(CString(image, layout.Cluster(cluster) + magic + 152 + 28), "TVDE-20261023-A1B2C3");
      EXPECT_EQ(stored.substr(magic + 2792), original.substr(magic + 2792));
    }
    EXPECT_EQ(Bytes(image, layout.Cluster(layout.report), screen.size()), screen);
    EXPECT_TRUE(AllZero(image, layout.Cluster(layout.report) + screen.size(), image.size()));
  }
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
    EXPECT_EQ(Le32(image, k512.Cluster(3) + 128 + 28), c.storedSize);
    const uint32_t clusters = static_cast<uint32_t>((c.storedSize + 511) / 512);
    EXPECT_EQ(Chain(image, 42), Clusters(42, clusters));
    EXPECT_EQ(Le16(image, k512.fat1 + 2 * (42 + clusters)), 0);
    EXPECT_EQ(Bytes(image, k512.Cluster(42), c.storedSize), report.substr(0, c.storedSize));
    EXPECT_TRUE(AllZero(image, k512.Cluster(42) + c.storedSize, image.size()));
  }
  const auto image =
      Assemble("r", "TVDE_STAMP_V2|" + std::string(3000, 'R'), std::string(400, 'M'));
  EXPECT_EQ(CString(image, 0x200).size(), 2047u);
  EXPECT_EQ(CString(image, 0x50), std::string(300, 'M'));
  EXPECT_TRUE(AllZero(image, 0x17C, 0x1BE));
  EXPECT_EQ(image[0x1BE], 0x80);
}

TEST(StampImage, OnlySectorSizesWithALayoutGetAnImage) {
  const SyntheticPrograms programs;
  const PageBuffer base = BuildStampImage(SamplePayload(), 512, programs.view());
  const PageBuffer zero = BuildStampImage(SamplePayload(), 0, programs.view());  // unknown: 512
  ASSERT_TRUE(base.valid() && zero.valid());
  EXPECT_TRUE(std::equal(base.span().begin(), base.span().end(), zero.span().begin()));
  for (uint32_t sector : {520u, 1024u, 2048u, 8192u})
    EXPECT_FALSE(BuildStampImage(SamplePayload(), sector, programs.view()).valid()) << sector;
  // Erasing a stamp still covers whole device sectors of any size.
  for (const auto& [sector, length] : {std::pair{0u, 131072u}, std::pair{4096u, 131072u},
                                       std::pair{520u, 131560u}, std::pair{3000u, 132000u}})
    EXPECT_EQ(StampImageLength(sector), length) << sector;
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
