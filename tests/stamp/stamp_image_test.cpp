// The stamp image's slots for texts of every length, the sector sizes it has a layout for, and
// the programs it refuses. The whole layout is proven by booting it and by the FAT tools.
#include "stamp/stamp_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stamp_test_support.h"

namespace tvde {
namespace {

using namespace tvde::testing;

constexpr size_t kFat1 = 0x8200, kReportCluster = 42;

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
    EXPECT_EQ(Chain(image, kReportCluster), Clusters(kReportCluster, clusters));
    EXPECT_EQ(Le16(image, kFat1 + 2 * (kReportCluster + clusters)), 0);
    EXPECT_EQ(Bytes(image, Cluster(kReportCluster), c.storedSize), report.substr(0, c.storedSize));
    EXPECT_TRUE(AllZero(image, Cluster(kReportCluster) + c.storedSize, image.size()));
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
  EXPECT_EQ(reinterpret_cast<uintptr_t>(base.data()) % 4096, 0u);  // fit for unbuffered writes
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
