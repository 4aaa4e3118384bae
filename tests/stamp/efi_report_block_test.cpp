// The EFI report block field by field, its cutting rules, and patching it into program images.
#include "stamp/efi_report_block.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "erase/verification.h"
#include "stamp_test_support.h"

namespace tvde {
namespace {

using testing::Bytes;
using testing::CString;
using testing::SamplePayload;

// Label and value of a row, each read up to its zero; also checks the zero padding.
struct Row {
  std::string label;
  std::string value;
};

Row ReadRow(const EfiReportBlock& block, size_t offset) {
  Row row{CString(block, offset), CString(block, offset + 28)};
  for (size_t i = row.label.size(); i < 28; ++i)
    EXPECT_EQ(block[offset + i], 0) << offset + i;
  for (size_t i = row.value.size(); i < 92; ++i)
    EXPECT_EQ(block[offset + 28 + i], 0);
  return row;
}

TEST(EfiReportBlock, HoldsMagicTitleStatusAndEveryRowAtItsOffset) {
  const EfiReportBlock block = BuildEfiReportBlock(SamplePayload());
  ASSERT_EQ(block.size(), 2792u);
  EXPECT_EQ(Bytes(block, 0, 24), std::string("TVDE_EFI_STAMP_V2_MAGIC\0", 24));
  EXPECT_EQ(CString(block, 24),
            "NIST SP 800-88 Rev.1 / DoD 5220.22-M Certified Sanitization & Hardware Verification");
  EXPECT_EQ(CString(block, 120), "SANITIZED & VERIFIED");
  StampPayload unverified = SamplePayload();
  unverified.verification = kVerdictSkipped;
  EXPECT_EQ(CString(BuildEfiReportBlock(unverified), 120), "SANITIZED, UNVERIFIED");

  const std::vector<std::pair<std::string, std::string>> report = {
      {"Report / Cert ID  :", "TVDE-20261023-A1B2C3"},
      {"Sanitization Date :", "2026-10-23 14:05:09"},
      {"Software Version  :", "Toreval Disk Eraser Suite v1.3.0"},
      {"Erasure Standard  :", "DoD 5220.22-M (3 Passes - ) (3 Passes)"},
      {"Verification      :", "PASSED (64/64 samples clean)"},
      {"Operator / Org    :", "  / Toreval Tools Lab"},
      {"SHA-256 Signature :", "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"},
  };
  for (size_t i = 0; i < report.size(); ++i) {
    const Row row = ReadRow(block, 152 + 120 * i);
    EXPECT_EQ(row.label, report[i].first) << "report row " << i;
    EXPECT_EQ(row.value, report[i].second) << "report row " << i;
  }

  const std::vector<std::pair<std::string, std::string>> hardware = {
      {"Manufacturer      :", "Toreval Systems"},
      {"Chassis Type      :", "Notebook"},
      {"System Model      :", "TV-1000"},
      {"System Serial     :", "SN-0042"},
      {"System UUID       :", "4C4C4544-0042-3010-8036-B2C04F4E3332"},
      {"Asset Tag         :", "None"},
      {"Processor (CPU)   :", "x86-64 Processor 4 Cores @ 1.60GHz"},
      {"Total Memory      :", "16.00 GB"},
      {"Sanitized Disk    :", "TVX SSD 512GB (476.94 GB)"},
      {"Disk Geometry     :", "512 B/Sector, 1000215216 Sectors"},
      {"Graphics Adapter  :", "Standard VGA Adapter"},
      {"Audio Controller  :", "High Definition Audio"},
      {"Network / MAC     :", "Ethernet 00:11:22:33:44:55"},
      {"Motherboard       :", "TV-MB100"},
      {"BIOS / Storage    :", "TVBIOS 1.07 (2025-01-15) | Standard NVM Express Controller"},
  };
  for (size_t i = 0; i < hardware.size(); ++i) {
    const Row row = ReadRow(block, 992 + 120 * i);
    EXPECT_EQ(row.label, hardware[i].first) << "hardware row " << i;
    EXPECT_EQ(row.value, hardware[i].second) << "hardware row " << i;
  }
  // The last hardware value ends exactly at the end of the block.
  EXPECT_EQ(992 + 120 * 15, 2792);
}

TEST(EfiReportBlock, CutsValuesTo91CharactersAfterDroppingUnprintableOnes) {
  StampPayload payload = SamplePayload();
  payload.certificateId = std::wstring(100, L'C');
  payload.hardware.model = L"\t" + std::wstring(90, L'M') + L"XYZ";
  payload.hardware.biosInformation = std::wstring(50, L'B');
  payload.hardware.storageController = std::wstring(50, L'S');
  const EfiReportBlock block = BuildEfiReportBlock(payload);
  EXPECT_EQ(ReadRow(block, 152).value, std::string(91, 'C'));
  EXPECT_EQ(block[152 + 28 + 91], 0);
  // The tab is dropped before the cut, so the value starts with the first M.
  EXPECT_EQ(ReadRow(block, 992 + 120 * 2).value, std::string(90, 'M') + "X");
  EXPECT_EQ(ReadRow(block, 992 + 120 * 14).value,
            std::string(50, 'B') + " | " + std::string(38, 'S'));
}

TEST(EfiReportBlock, DropsJapaneseAndFallsBackForAnEmptySoftwareVersion) {
  StampPayload payload = SamplePayload();
  payload.certificateId = L"証明書";
  payload.softwareVersion = L"";
  payload.hardware.serial = L"シリアル番号";
  const EfiReportBlock block = BuildEfiReportBlock(payload);
  EXPECT_EQ(ReadRow(block, 152).value, "");
  EXPECT_EQ(ReadRow(block, 152 + 240).value, "Toreval Disk Eraser v1.3.0");
  EXPECT_EQ(ReadRow(block, 992 + 360).value, "");
}

TEST(EfiReportBlock, WritesZeroAndNegativePassCounts) {
  StampPayload payload = SamplePayload();
  payload.standardName = L"Zero Fill";
  payload.passesCompleted = 0;
  EXPECT_EQ(ReadRow(BuildEfiReportBlock(payload), 152 + 360).value, "Zero Fill (0 Passes)");
  payload.passesCompleted = -1;
  EXPECT_EQ(ReadRow(BuildEfiReportBlock(payload), 152 + 360).value, "Zero Fill (-1 Passes)");
}

class PatchEfiImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StampPayload payload = SamplePayload();
    block_ = BuildEfiReportBlock(payload);
  }

  static std::vector<uint8_t> ImageWithMagicAt(size_t size, std::vector<size_t> offsets) {
    std::vector<uint8_t> image(size, 0x5A);
    const std::string magic = "TVDE_EFI_STAMP_V2_MAGIC";
    for (size_t offset : offsets) {
      std::copy(magic.begin(), magic.end(), image.begin() + static_cast<ptrdiff_t>(offset));
    }
    return image;
  }

  EfiReportBlock block_{};
};

TEST_F(PatchEfiImageTest, OverwritesTheBlockAtTheMagicAndNothingElse) {
  std::vector<uint8_t> image = ImageWithMagicAt(8000, {1234});
  const std::vector<uint8_t> before = image;
  ASSERT_TRUE(PatchEfiImage(image, block_));
  EXPECT_EQ(CString(image, 1234 + 152 + 28), "TVDE-20261023-A1B2C3");
  EXPECT_EQ(image[1234 + 23], 0);
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 1234, before.begin()));
  EXPECT_TRUE(std::equal(image.begin() + 1234 + 2792, image.end(), before.begin() + 1234 + 2792));
}

TEST_F(PatchEfiImageTest, PatchesAnImageExactlyOneBlockLongAndAMagicAtTheLastPossibleOffset) {
  std::vector<uint8_t> exact = ImageWithMagicAt(2792, {0});
  EXPECT_TRUE(PatchEfiImage(exact, block_));
  EXPECT_EQ(CString(exact, 152 + 28), "TVDE-20261023-A1B2C3");

  std::vector<uint8_t> tail = ImageWithMagicAt(5000, {5000 - 2792});
  EXPECT_TRUE(PatchEfiImage(tail, block_));
  EXPECT_EQ(tail.back(), block_.back());
  EXPECT_EQ(CString(tail, 5000 - 2792 + 152 + 28), "TVDE-20261023-A1B2C3");
}

TEST_F(PatchEfiImageTest, FirstMatchWins) {
  std::vector<uint8_t> image = ImageWithMagicAt(9000, {100, 5000});
  ASSERT_TRUE(PatchEfiImage(image, block_));
  EXPECT_EQ(CString(image, 100 + 152 + 28), "TVDE-20261023-A1B2C3");
  // The second copy keeps its old bytes after the magic.
  EXPECT_EQ(image[5000 + 23], 0x5A);
  EXPECT_EQ(image[5000 + 180], 0x5A);
}

TEST_F(PatchEfiImageTest, LeavesImagesWithoutRoomForTheBlockAfterAWholeMagicAlone) {
  std::vector<uint8_t> partial(6000, 0x5A);
  const std::string cut = "TVDE_EFI_STAMP_V2_MAGI";
  std::copy(cut.begin(), cut.end(), partial.begin() + 10);
  const std::vector<std::vector<uint8_t>> refused = {
      ImageWithMagicAt(2791, {0}),            // shorter than one block
      {},                                     // empty
      ImageWithMagicAt(5000, {5000 - 2791}),  // the block would run one byte past the end
      partial,                                // a magic without its last letter
  };
  for (const auto& original : refused) {
    std::vector<uint8_t> image = original;
    EXPECT_FALSE(PatchEfiImage(image, block_)) << image.size();
    EXPECT_EQ(image, original);
  }
}

}  // namespace
}  // namespace tvde
