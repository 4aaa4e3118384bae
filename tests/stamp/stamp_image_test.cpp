// The stamp image parsed back: MBR, record, BIOS area, FAT16 boot sector, FATs, directories and
// files, for several report sizes and device sector sizes.
#include "stamp/stamp_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stamp/stamp_texts.h"
#include "stamp_test_support.h"

namespace tvde {
namespace {

using testing::AllZero;
using testing::Bytes;
using testing::CString;
using testing::Le16;
using testing::Le32;
using testing::SamplePayload;
using testing::SyntheticPrograms;

constexpr size_t kBoot = 0x8000;
constexpr size_t kFat1 = 0x8200;
constexpr size_t kFat2 = 0xC200;
constexpr size_t kRoot = 0x10200;

size_t Cluster(uint32_t c) {
  return 0x14200 + (c - 2) * 512;
}

uint16_t Fat(std::span<const uint8_t> image, uint32_t entry) {
  return Le16(image, kFat1 + 2 * entry);
}

struct DirEntry {
  std::string name;
  uint8_t attributes;
  uint16_t cluster;
  uint32_t size;
};

DirEntry ReadEntry(std::span<const uint8_t> image, size_t offset) {
  // Bytes 12..25 carry times, dates and the high cluster word: none are set.
  EXPECT_TRUE(AllZero(image, offset + 12, offset + 26)) << "timestamps at " << offset;
  return {Bytes(image, offset, 11), image[offset + 11], Le16(image, offset + 26),
          Le32(image, offset + 28)};
}

std::vector<uint32_t> Chain(std::span<const uint8_t> image, uint32_t first) {
  std::vector<uint32_t> chain{first};
  while (chain.size() < 200) {
    const uint16_t next = Fat(image, chain.back());
    if (next == 0xFFFF) return chain;
    if (next < 2) return {};
    chain.push_back(next);
  }
  return {};
}

// The image of the sample payload assembled from synthetic programs with a report text of the
// given size (made of a repeating pattern, never zero).
std::vector<uint8_t> ImageWithReport(const std::string& report, const SyntheticPrograms& p,
                                     const std::string& record = "TVDE_STAMP_V2|x|END",
                                     const std::string& message = "msg") {
  std::vector<uint8_t> image(131072, 0xEE);
  const StampImageParts parts{p.mbr, p.bios, message, record, report, p.x64, p.ia32};
  EXPECT_TRUE(AssembleStampImage(image, parts));
  return image;
}

std::string ReportOfSize(size_t size) {
  std::string text(size, ' ');
  for (size_t i = 0; i < size; ++i)
    text[i] = static_cast<char>('!' + i % 90);
  return text;
}

class StampImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PageBuffer built = BuildStampImage(SamplePayload(), 512, programs_.view());
    ASSERT_TRUE(built.valid());
    image_.assign(built.data(), built.data() + built.size());
  }

  SyntheticPrograms programs_;
  std::vector<uint8_t> image_;
};

TEST_F(StampImageTest, MbrHoldsCodePacketMessagePartitionAndSignature) {
  ASSERT_EQ(image_.size(), 131072u);
  EXPECT_EQ(std::vector<uint8_t>(image_.begin(), image_.begin() + 63), programs_.mbr);
  EXPECT_EQ(image_[0x3F], 0);
  const std::vector<uint8_t> packet = {0x10, 0x00, 0x08, 0x00, 0x00, 0x80, 0x00, 0x00,
                                       0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(image_.begin() + 0x40, image_.begin() + 0x50), packet);
  EXPECT_EQ(CString(image_, 0x50),
            "\r\n[TOREVAL DISK ERASER] SANITIZED & VERIFIED. Cert: TVDE-20261023-A1B2C3\r\n");
  EXPECT_TRUE(AllZero(image_, 0x50 + 74, 0x1BE));
  const std::vector<uint8_t> entry = {0x80, 0x01, 0x01, 0x00, 0xEF, 0xFE, 0x3F, 0x04,
                                      0x40, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00};
  EXPECT_EQ(std::vector<uint8_t>(image_.begin() + 0x1BE, image_.begin() + 0x1CE), entry);
  EXPECT_TRUE(AllZero(image_, 0x1CE, 0x1FE));
  EXPECT_EQ(image_[0x1FE], 0x55);
  EXPECT_EQ(image_[0x1FF], 0xAA);
}

TEST_F(StampImageTest, RecordProgramAndTextSitInLba1To12) {
  const std::string record = CString(image_, 0x200);
  EXPECT_EQ(record.rfind("TVDE_STAMP_V2|TVDE-20261023-A1B2C3|2026-10-23 14:05:09|", 0), 0u);
  EXPECT_EQ(record.substr(record.size() - 36), "|Standard NVM Express Controller|END");
  EXPECT_TRUE(AllZero(image_, 0x200 + record.size(), 0xA00));

  EXPECT_EQ(std::vector<uint8_t>(image_.begin() + 0xA00, image_.begin() + 0xA54), programs_.bios);
  EXPECT_TRUE(AllZero(image_, 0xA54, 0xA60));
  const std::string text = CString(image_, 0xA60);
  EXPECT_EQ(text.rfind(" TOREVAL DISK ERASER - SANITIZATION & HARDWARE REPORT   "
                       "[SANITIZED & VERIFIED]\r\n Cert: TVDE-20261023-A1B2C3 | Date: ",
                       0),
            0u);
  EXPECT_EQ(text.substr(text.size() - 21), "Stamp Active (No OS).");
  EXPECT_TRUE(AllZero(image_, 0xA60 + text.size(), 0x8000));
}

TEST_F(StampImageTest, BootSectorDescribesThe8192SectorFat16Volume) {
  const auto s = std::span<const uint8_t>(image_).subspan(kBoot, 512);
  EXPECT_EQ(Bytes(s, 0, 3), "\xEB\x3C\x90");
  EXPECT_EQ(Bytes(s, 3, 8), "TOREVAL ");
  EXPECT_EQ(Le16(s, 0x0B), 512);
  EXPECT_EQ(s[0x0D], 1);
  EXPECT_EQ(Le16(s, 0x0E), 1);
  EXPECT_EQ(s[0x10], 2);
  EXPECT_EQ(Le16(s, 0x11), 512);
  EXPECT_EQ(Le16(s, 0x13), 8192);
  EXPECT_EQ(s[0x15], 0xF8);
  EXPECT_EQ(Le16(s, 0x16), 32);
  EXPECT_EQ(Le16(s, 0x18), 63);
  EXPECT_EQ(Le16(s, 0x1A), 255);
  EXPECT_EQ(Le32(s, 0x1C), 64u);
  EXPECT_EQ(Le32(s, 0x20), 0u);
  EXPECT_EQ(s[0x24], 0x80);
  EXPECT_EQ(s[0x25], 0);
  EXPECT_EQ(s[0x26], 0x29);
  EXPECT_EQ(Bytes(s, 0x27, 4), "\x23\x10\x26\x20");
  EXPECT_EQ(Bytes(s, 0x2B, 11), "TVDE_STAMP ");
  EXPECT_EQ(Bytes(s, 0x36, 8), "FAT16   ");
  EXPECT_TRUE(AllZero(s, 0x3E, 0x1FE));
  EXPECT_EQ(s[0x1FE], 0x55);
  EXPECT_EQ(s[0x1FF], 0xAA);
  EXPECT_TRUE(AllZero(image_, 0x1A00, 0x8000));
}

TEST_F(StampImageTest, DirectoriesHoldTheLabelEfiBootAndTheThreeFiles) {
  const DirEntry label = ReadEntry(image_, kRoot);
  EXPECT_EQ(label.name, "TVDE_STAMP ");
  EXPECT_EQ(label.attributes, 0x08);
  EXPECT_EQ(label.cluster, 0);
  const DirEntry efi = ReadEntry(image_, kRoot + 32);
  EXPECT_EQ(efi.name, "EFI        ");
  EXPECT_EQ(efi.attributes, 0x10);
  EXPECT_EQ(efi.cluster, 2);
  EXPECT_EQ(efi.size, 0u);
  EXPECT_TRUE(AllZero(image_, kRoot + 64, Cluster(2)));

  const std::vector<std::tuple<std::string, uint8_t, uint16_t>> efiDir = {
      {".          ", 0x10, 2}, {"..         ", 0x10, 0}, {"BOOT       ", 0x10, 3}};
  for (size_t i = 0; i < efiDir.size(); ++i) {
    const DirEntry e = ReadEntry(image_, Cluster(2) + 32 * i);
    EXPECT_EQ(e.name, std::get<0>(efiDir[i]));
    EXPECT_EQ(e.attributes, std::get<1>(efiDir[i]));
    EXPECT_EQ(e.cluster, std::get<2>(efiDir[i]));
    EXPECT_EQ(e.size, 0u);
  }
  EXPECT_TRUE(AllZero(image_, Cluster(2) + 96, Cluster(3)));

  const std::string text = CString(image_, 0xA60);
  const std::vector<std::tuple<std::string, uint8_t, uint16_t, uint32_t>> bootDir = {
      {".          ", 0x10, 3, 0},
      {"..         ", 0x10, 2, 0},
      {"BOOTX64 EFI", 0x20, 4, 10240},
      {"BOOTIA32EFI", 0x20, 24, 9216},
      {"REPORT  TXT", 0x20, 42, static_cast<uint32_t>(text.size())}};
  for (size_t i = 0; i < bootDir.size(); ++i) {
    const DirEntry e = ReadEntry(image_, Cluster(3) + 32 * i);
    EXPECT_EQ(e.name, std::get<0>(bootDir[i]));
    EXPECT_EQ(e.attributes, std::get<1>(bootDir[i]));
    EXPECT_EQ(e.cluster, std::get<2>(bootDir[i]));
    EXPECT_EQ(e.size, std::get<3>(bootDir[i]));
  }
  EXPECT_TRUE(AllZero(image_, Cluster(3) + 160, Cluster(4)));
}

TEST_F(StampImageTest, FatChainsTheFilesAndFat2CopiesFat1) {
  EXPECT_EQ(Fat(image_, 0), 0xFFF8);
  EXPECT_EQ(Fat(image_, 1), 0xFFFF);
  EXPECT_EQ(Fat(image_, 2), 0xFFFF);
  EXPECT_EQ(Fat(image_, 3), 0xFFFF);
  std::vector<uint32_t> x64(20), ia32(18);
  for (uint32_t i = 0; i < 20; ++i)
    x64[i] = 4 + i;
  for (uint32_t i = 0; i < 18; ++i)
    ia32[i] = 24 + i;
  EXPECT_EQ(Chain(image_, 4), x64);
  EXPECT_EQ(Chain(image_, 24), ia32);
  const size_t reportClusters = (CString(image_, 0xA60).size() + 511) / 512;
  EXPECT_EQ(Chain(image_, 42).size(), reportClusters);
  for (uint32_t c = static_cast<uint32_t>(42 + reportClusters); c < 8192; ++c) {
    ASSERT_EQ(Fat(image_, c), 0) << "entry " << c;
  }
  EXPECT_TRUE(std::equal(image_.begin() + kFat1, image_.begin() + kFat2, image_.begin() + kFat2));
  EXPECT_TRUE(AllZero(image_, kFat1 + 2 * (42 + reportClusters), kFat2));
}

TEST_F(StampImageTest, FilesHoldThePatchedProgramsAndTheBiosText) {
  // BOOTX64.EFI: the program with the payload's block at its magic, every other byte as built.
  const auto x64 = std::span<const uint8_t>(image_).subspan(Cluster(4), 10240);
  const size_t m = SyntheticPrograms::kX64MagicOffset;
  EXPECT_TRUE(std::equal(x64.begin(), x64.begin() + m, programs_.x64.begin()));
  EXPECT_EQ(CString(x64, m), "TVDE_EFI_STAMP_V2_MAGIC");
  EXPECT_EQ(CString(x64, m + 152 + 28), "TVDE-20261023-A1B2C3");
  EXPECT_EQ(CString(x64, m + 992 + 28), "Toreval Systems");
  EXPECT_TRUE(std::equal(x64.begin() + m + 2792, x64.end(), programs_.x64.begin() + m + 2792));

  const auto ia32 = std::span<const uint8_t>(image_).subspan(Cluster(24), 9216);
  const size_t n = SyntheticPrograms::kIa32MagicOffset;
  EXPECT_TRUE(std::equal(ia32.begin(), ia32.begin() + n, programs_.ia32.begin()));
  EXPECT_EQ(CString(ia32, n + 152 + 28), "TVDE-20261023-A1B2C3");
  EXPECT_TRUE(std::equal(ia32.begin() + n + 2792, ia32.end(), programs_.ia32.begin() + n + 2792));

  const std::string text = CString(image_, 0xA60);
  EXPECT_EQ(Bytes(image_, Cluster(42), text.size()), text);
  const size_t reportEnd = Cluster(42) + (text.size() + 511) / 512 * 512;
  EXPECT_TRUE(AllZero(image_, Cluster(42) + text.size(), reportEnd));
  EXPECT_TRUE(AllZero(image_, reportEnd, image_.size()));
}

TEST(StampImageReport, ChainsFor512And513And3996ByteReports) {
  const SyntheticPrograms programs;
  const auto one = ImageWithReport(ReportOfSize(512), programs);
  EXPECT_EQ(Chain(one, 42), (std::vector<uint32_t>{42}));
  EXPECT_EQ(Fat(one, 43), 0);
  EXPECT_EQ(Le32(one, Cluster(3) + 4 * 32 + 28), 512u);

  const auto two = ImageWithReport(ReportOfSize(513), programs);
  EXPECT_EQ(Chain(two, 42), (std::vector<uint32_t>{42, 43}));
  EXPECT_EQ(Fat(two, 44), 0);
  EXPECT_EQ(Bytes(two, Cluster(43), 2), ReportOfSize(513).substr(512) + '\0');

  const auto full = ImageWithReport(ReportOfSize(3996), programs);
  EXPECT_EQ(Chain(full, 42), (std::vector<uint32_t>{42, 43, 44, 45, 46, 47, 48, 49}));
  EXPECT_EQ(Fat(full, 50), 0);
  EXPECT_TRUE(std::equal(full.begin() + kFat1, full.begin() + kFat2, full.begin() + kFat2));
}

TEST(StampImageReport, CutsTheReportAt3996BytesInBothPlaces) {
  const SyntheticPrograms programs;
  const std::string longText = ReportOfSize(5000);
  const auto image = ImageWithReport(longText, programs);
  EXPECT_EQ(CString(image, 0xA60), longText.substr(0, 3996));
  EXPECT_EQ(image[0xA60 + 3996], 0);  // 0x19FC: inside the 8 sectors the MBR loads
  EXPECT_EQ(Le32(image, Cluster(3) + 4 * 32 + 28), 3996u);
  EXPECT_EQ(Bytes(image, Cluster(42), 3996), longText.substr(0, 3996));
  EXPECT_TRUE(AllZero(image, Cluster(42) + 3996, Cluster(50)));
  EXPECT_EQ(Chain(image, 42).size(), 8u);
}

TEST(StampImageReport, CutsTheRecordAt2047AndTheMessageAt300Bytes) {
  const SyntheticPrograms programs;
  const std::string record = "TVDE_STAMP_V2|" + std::string(3000, 'R');
  const std::string message(400, 'M');
  const auto image = ImageWithReport("report", programs, record, message);
  EXPECT_EQ(CString(image, 0x200), record.substr(0, 2047));
  EXPECT_EQ(image[0x9FF], 0);
  EXPECT_EQ(CString(image, 0x50), std::string(300, 'M'));
  EXPECT_TRUE(AllZero(image, 0x17C, 0x1BE));
  EXPECT_EQ(image[0x1BE], 0x80);
}

TEST(StampImageReport, AZeroLengthFileStillTakesOneCluster) {
  std::vector<uint8_t> image(131072, 0);
  FatVolume volume{image, 4};
  std::vector<uint8_t> entry(32, 0xEE);
  ASSERT_TRUE(AddFatFile(volume, "EMPTY   TXT", {}, entry));
  EXPECT_EQ(volume.nextFreeCluster, 5);
  EXPECT_EQ(Fat(image, 4), 0xFFFF);
  EXPECT_EQ(Bytes(entry, 0, 12), "EMPTY   TXT\x20");
  EXPECT_EQ(Le16(entry, 26), 4);
  EXPECT_EQ(Le32(entry, 28), 0u);
  EXPECT_TRUE(AllZero(entry, 12, 26));
}

TEST(StampImageReport, RefusesAFileThatWouldRunPastTheImage) {
  std::vector<uint8_t> image(131072, 0);
  FatVolume volume{image, 90};
  std::vector<uint8_t> entry(32, 0);
  const std::vector<uint8_t> fits(7 * 512, 0x77);  // clusters 90..96, the last inside the image
  ASSERT_TRUE(AddFatFile(volume, "FITS    BIN", fits, entry));
  EXPECT_EQ(Fat(image, 96), 0xFFFF);
  EXPECT_EQ(image.back(), 0x77);

  volume.nextFreeCluster = 91;
  const std::vector<uint8_t> before = image;
  std::vector<uint8_t> untouched(32, 0);
  EXPECT_FALSE(AddFatFile(volume, "TOOBIG  BIN", fits, untouched));
  EXPECT_EQ(image, before);
  EXPECT_TRUE(AllZero(untouched, 0, 32));
  EXPECT_EQ(volume.nextFreeCluster, 91);
}

TEST(StampImageLength, RoundsUpToWholeDeviceSectors) {
  EXPECT_EQ(StampImageLength(0), 131072u);
  EXPECT_EQ(StampImageLength(256), 131072u);
  EXPECT_EQ(StampImageLength(512), 131072u);
  EXPECT_EQ(StampImageLength(4096), 131072u);
  EXPECT_EQ(StampImageLength(520), 131560u);   // 253 sectors
  EXPECT_EQ(StampImageLength(3000), 132000u);  // 44 sectors
}

TEST(StampImageSectorSize, The4KnVolumeCountsInDeviceSectorsBehindTheSameBiosArea) {
  const SyntheticPrograms programs;
  const PageBuffer base = BuildStampImage(SamplePayload(), 512, programs.view());
  const PageBuffer zero = BuildStampImage(SamplePayload(), 0, programs.view());
  const PageBuffer image = BuildStampImage(SamplePayload(), 4096, programs.view());
  ASSERT_TRUE(base.valid() && zero.valid() && image.valid());
  EXPECT_TRUE(std::equal(base.span().begin(), base.span().end(), zero.span().begin()));
  const std::span<const uint8_t> img = image.span();
  ASSERT_EQ(img.size(), 131072u);  // 32 device sectors
  // MBR code, message, record, BIOS program and text stay where BIOS code expects them.
  EXPECT_TRUE(std::equal(img.begin(), img.begin() + 0x1BE, base.span().begin()));
  EXPECT_TRUE(std::equal(img.begin() + 0x1CE, img.begin() + 0x8000, base.span().begin() + 0x1CE));
  EXPECT_EQ(Le32(img, 0x1BE + 8), 8u);  // partition at 4 KiB sector 8 = byte 0x8000
  EXPECT_EQ(Le32(img, 0x1BE + 12), 8192u);
  EXPECT_EQ(img[0x1BE + 4], 0xEF);

  constexpr size_t kBoot4k = 0x8000;
  EXPECT_EQ(Le16(img, kBoot4k + 0x0B), 4096);  // bytes per sector
  EXPECT_EQ(img[kBoot4k + 0x0D], 1);           // sectors per cluster
  EXPECT_EQ(Le16(img, kBoot4k + 0x0E), 1);     // reserved sectors
  EXPECT_EQ(img[kBoot4k + 0x10], 2);
  EXPECT_EQ(Le16(img, kBoot4k + 0x11), 512);   // root entries: 4 sectors
  EXPECT_EQ(Le16(img, kBoot4k + 0x13), 8192);  // 32 MiB
  EXPECT_EQ(Le16(img, kBoot4k + 0x16), 4);     // sectors per FAT
  EXPECT_EQ(Le32(img, kBoot4k + 0x1C), 8u);    // hidden sectors
  EXPECT_EQ(Bytes(img, kBoot4k + 0x36, 8), "FAT16   ");
  EXPECT_EQ(Le16(img, kBoot4k + 0x1FE), 0xAA55);
  // Data clusters: 8192 - 1 - 2 x 4 - 4 = 8179, FAT16 by count, every one with a FAT entry.
  static_assert(8192 - 1 - 2 * 4 - 4 >= 4085 && 4 * 4096 / 2 >= 8179 + 2);

  constexpr size_t kFat4k = 0x9000, kFat2_4k = 0xD000, kRoot4k = 0x11000, kData4k = 0x15000;
  auto fat = [&](uint32_t entry) { return Le16(img, kFat4k + 2 * entry); };
  auto cluster = [&](uint32_t c) { return kData4k + (c - 2) * 4096; };
  EXPECT_EQ(fat(0), 0xFFF8);
  EXPECT_EQ(fat(2), 0xFFFF);
  EXPECT_EQ(fat(3), 0xFFFF);
  // BOOTX64 (10240 bytes) 4-6, BOOTIA32 (9216) 7-9, REPORT.TXT 10.
  const std::vector<uint16_t> chains = {5, 6, 0xFFFF, 8, 9, 0xFFFF, 0xFFFF, 0};
  for (uint32_t c = 4; c < 12; ++c)
    EXPECT_EQ(fat(c), chains[c - 4]) << c;
  EXPECT_TRUE(std::equal(img.begin() + kFat4k, img.begin() + kFat2_4k, img.begin() + kFat2_4k));
  EXPECT_EQ(Bytes(img, kRoot4k, 11), "TVDE_STAMP ");
  EXPECT_EQ(Bytes(img, kRoot4k + 32, 11), "EFI        ");
  EXPECT_EQ(Bytes(img, cluster(2) + 64, 11), "BOOT       ");
  const size_t bootDir = cluster(3);
  EXPECT_EQ(Bytes(img, bootDir + 64, 11), "BOOTX64 EFI");
  EXPECT_EQ(Le16(img, bootDir + 64 + 26), 4);
  EXPECT_EQ(Le16(img, bootDir + 96 + 26), 7);
  EXPECT_EQ(Le16(img, bootDir + 128 + 26), 10);
  // The files lie in 4 KiB clusters; the text is the one at 0xA60.
  EXPECT_EQ(img[cluster(4)], programs.x64[0]);
  EXPECT_EQ(img[cluster(7) + 100], programs.ia32[100]);
  EXPECT_EQ(CString(img, cluster(10)), CString(img, 0xA60));
}

TEST(StampImageSectorSize, SectorSizesWithoutALayoutGetNoImage) {
  const SyntheticPrograms programs;
  for (uint32_t sector : {520u, 1024u, 2048u, 8192u}) {
    EXPECT_FALSE(BuildStampImage(SamplePayload(), sector, programs.view()).valid()) << sector;
  }
}

TEST(StampImageBuild, RefusesProgramsThatDoNotFitOrCannotCarryTheReport) {
  const StampPayload payload = SamplePayload();
  {
    SyntheticPrograms p;
    p.mbr.pop_back();
    EXPECT_FALSE(BuildStampImage(payload, 512, p.view()).valid()) << "62-byte MBR code";
  }
  {
    SyntheticPrograms p;
    p.bios.resize(97, 0x90);
    EXPECT_FALSE(BuildStampImage(payload, 512, p.view()).valid()) << "97-byte BIOS program";
  }
  {
    SyntheticPrograms p;
    p.bios.resize(96, 0x90);
    EXPECT_TRUE(BuildStampImage(payload, 512, p.view()).valid()) << "96-byte BIOS program";
  }
  {
    // Without its magic the program would boot showing default values as if they were the
    // report of this disk.
    SyntheticPrograms p;
    p.ia32[SyntheticPrograms::kIa32MagicOffset] = 'X';
    EXPECT_FALSE(BuildStampImage(payload, 512, p.view()).valid()) << "IA32 image without block";
  }
  {
    SyntheticPrograms p;
    p.x64.resize(60000, 0);
    EXPECT_FALSE(BuildStampImage(payload, 512, p.view()).valid()) << "files past LBA 255";
  }
}

}  // namespace
}  // namespace tvde
