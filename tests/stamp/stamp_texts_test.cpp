// The stamp's texts against the hand-written golden files (record, MBR message, BIOS screen,
// EFI block), the rules for values that do not fit, and reading the record back from a disk:
// tags, field counts, the integer rule, cut records.
#include "stamp/stamp_texts.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "erase/verification.h"
#include "stamp/efi_report_block.h"
#include "stamp/report_screen_text.h"
#include "stamp/stamp_detect.h"
#include "stamp_test_support.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using namespace tvde::testing;

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t end; (end = text.find(separator, start)) != std::string::npos;
       start = end + separator.size()) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::string ScreenOf(const StampPayload& payload) {
  return BuildReportScreenText(BuildEfiReportBlock(payload), payload);
}

// A field holds its text, then zeroes to its end (at least one).
void ExpectField(const EfiReportBlock& block, size_t offset, size_t width,
                 const std::string& text) {
  EXPECT_EQ(CString(block, offset), text) << "field at " << offset;
  EXPECT_LT(text.size(), width);
  for (size_t i = text.size(); i < width; ++i)
    ASSERT_EQ(block[offset + i], 0) << "field at " << offset << ", byte " << i;
}

TEST(StampTexts, SamplePayloadGivesTheGoldenRecordMessageScreenAndBlock) {
  const StampPayload payload = SamplePayload();
  ASSERT_EQ(payload.hardware.storageController, L"Standard NVM Express Controller");
  EXPECT_EQ(BuildStampRecord(payload), ReadGolden("sample_record.txt"));
  EXPECT_EQ(BuildMbrMessage(payload), ReadGolden("sample_message.txt"));
  EXPECT_EQ(ScreenOf(payload), ReadGolden("sample_screen.txt"));

  const EfiReportBlock block = BuildEfiReportBlock(payload);
  ExpectField(block, 0, 24, "TVDE_EFI_STAMP_V2_MAGIC");
  std::istringstream golden(ReadGolden("sample_block.txt"));
  std::string line;
  std::getline(golden, line);
  ExpectField(block, 24, 96, line);
  std::getline(golden, line);
  ExpectField(block, 120, 32, line);
  size_t row = 0;
  for (; std::getline(golden, line); ++row) {
    const size_t bar = line.find('|');
    const size_t offset = row < 7 ? 152 + 120 * row : 992 + 120 * (row - 7);
    ExpectField(block, offset, 28, line.substr(0, bar));
    ExpectField(block, offset + 28, 92, line.substr(bar + 1));
  }
  EXPECT_EQ(row, 22u);
}

// The MBR message and BIOS screen of an unverified job are checked on the disk the job writes.
TEST(StampTexts, OnlyAPassedVerificationIsCalledVerified) {
  StampPayload payload = SamplePayload();
  payload.verification = kVerdictSkipped;
  EXPECT_EQ(CString(BuildEfiReportBlock(payload), 120), "SANITIZED, UNVERIFIED");
  for (const wchar_t* verdict :
       {L"STAMPED BY OPERATOR", L"", L"FAILED", L"PASSED (Simulation 100% Verified)"}) {
    payload.verification = verdict;
    EXPECT_EQ(CString(BuildEfiReportBlock(payload), 120), "NOT CERTIFIED") << U8(verdict);
    EXPECT_TRUE(
        ScreenOf(payload).ends_with(" Status: Report Stamp Only - No Erasure Certified. "
                                    "Bootable Stamp (No OS)."));
  }
  payload.verification = L"PASSED (All Sampled Sectors Verified Clean)";
  EXPECT_EQ(CString(BuildEfiReportBlock(payload), 120), "SANITIZED & VERIFIED");
  payload.claim = StampClaim::None;  // the same verdict in a stamp the operator writes
  EXPECT_EQ(CString(BuildEfiReportBlock(payload), 120), "NOT CERTIFIED");
}

// The TRIM outcome stands where the standard promises a TRIM, and only after a TRIM notice:
// whole on the BIOS screen's spare line, its first words in the EFI standard row; the record
// and the 25-line screen stay as they are.
TEST(StampTexts, TheTrimOutcomeIsShownOnlyWhenANoticeWasSent) {
  StampPayload payload = SamplePayload();
  payload.standardName = L"NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)";
  const std::string record = BuildStampRecord(payload), screen = ScreenOf(payload);
  EXPECT_EQ(Count(screen, "TRIM: "), 0u);
  for (const auto& [notice, efi] :
       {std::pair(L"NOT PERFORMED (TRIM/Deallocate Notice Refused - Overwrite Passes Only)",
                  " / TRIM: NOT PERFORMED"),
        std::pair(L"ACCEPTED (Whole-Disk TRIM/Deallocate Notice Accepted by the Device)",
                  " / TRIM: ACCEPTED")}) {
    payload.trimNotice = notice;
    const std::string shown = ScreenOf(payload);
    EXPECT_EQ(BuildStampRecord(payload), record);
    EXPECT_EQ(Count(shown, "\r\n"), Count(screen, "\r\n"));
    EXPECT_EQ(Count(shown, "\r\n TRIM: " + U8(notice) + "\r\n Status: "), 1u) << shown;
    EXPECT_TRUE(EfiReportValue(BuildEfiReportBlock(payload), 3).ends_with(efi));
  }
}

TEST(StampTexts, RecordKeeps29FieldsWhateverTheValuesHold) {
  StampPayload payload = SamplePayload();  // its asset tag holds a '|' already
  payload.operatorName = L"line1\r\nline2";
  payload.hardware.storageController = L"x|y\nz";
  payload.passesCompleted = -1;
  const auto fields = Split(BuildStampRecord(payload), "|");
  ASSERT_EQ(fields.size(), 29u);
  EXPECT_EQ(fields[8] + "/" + fields[11] + "/" + fields[27] + "/" + fields[28],
            "line1  line2/-1/x y z/END");
}

TEST(StampTexts, ScreensShowOnlyPrintableAsciiCutToTheirFields) {
  StampPayload payload = SamplePayload();
  payload.certificateId = std::wstring(120, L'C');
  payload.verification = L"\t" + std::wstring(95, L'V');
  payload.softwareVersion = L"";
  payload.standardName = L"Zero Fill";
  payload.passesCompleted = -1;
  payload.hardware.serial = std::wstring(91, L'S');
  payload.hardware.biosInformation = std::wstring(50, L'B');
  payload.hardware.storageController = L"\u3000" + std::wstring(50, L'S');
  payload.hardware.model = L"モデル";
  const EfiReportBlock block = BuildEfiReportBlock(payload);
  // Values are cut to 91 characters after dropping what is not printable ASCII.
  EXPECT_EQ(EfiReportValue(block, 0) + EfiReportValue(block, 4),
            std::string(91, 'C') + std::string(91, 'V'));
  EXPECT_EQ(
      EfiReportValue(block, 2) + "|" + EfiReportValue(block, 3) + "|" + EfiHardwareValue(block, 2),
      "Toreval Disk Eraser v1.3.0|Zero Fill (-1 Passes)|");
  EXPECT_EQ(EfiHardwareValue(block, 14), std::string(50, 'B') + " |  " + std::string(37, 'S'));

  const std::string screen = ScreenOf(payload);
  const auto lines = Split(screen, "\r\n");
  ASSERT_EQ(lines.size(), 25u);
  for (const std::string& line : lines) {
    EXPECT_LE(line.size(), 78u) << line;
    for (char c : line)
      EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << line;
  }
  EXPECT_EQ(lines[1], " Cert: " + std::string(71, 'C'));
  EXPECT_EQ(lines[10], "  Serial / Asset   : " + std::string(57, 'S'));  // the asset is lost
}

const std::string kReport =
    "CERT-1|2026-10-23 09:00:00|Zero Fill|PASSED|Model X|SER-9|1.00 GB|Op|Org|abcdef|";
const std::string kHardware = "|h0|h1|h2|h3|h4|h5|h6|h7|h8|h9|h10|h11|h12|h13|h14|h15";

TEST(ApplyStampRecord, TagsFieldCountsAndThePassCount) {
  struct Case {
    std::string record;
    bool detected;
    int32_t passes;
    const char* manufacturer;  // "local": the hardware stays as it was
    const char* controller;
  };
  const std::string v2 = "TVDE_STAMP_V2|";
  // clang-format off
  const Case cases[] = {
      {v2 + kReport + "12" + kHardware + "|END", true, 12, "h0", "h15"},
      {"TVDE_STAMP_V1|" + kReport + "2" + kHardware + "|END|extra", true, 2, "h0", "h15"},
      {v2 + kReport + "1" + kHardware, true, 1, "h0", "h15"},                // 28 fields, no END
      {v2 + kReport + "1" + kHardware.substr(0, 50), true, 1, "local", ""},  // 27 fields
      {v2 + kReport, false, 0, "local", ""},  // a trailing separator makes no twelfth field
      {"TVDE_STAMP_V3|" + kReport + "1", false, 0, "local", ""},
      {"tvde_stamp_v2|" + kReport + "1", false, 0, "local", ""},
      {v2 + kReport + "7x", true, 7, "local", ""},  // the pass count is read like atoi
      {v2 + kReport + "\v -99999999999", true, -2147483647 - 1, "local", ""},  // saturates
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.record);
    StampPayload p;
    p.hardware.manufacturer = L"local";
    EXPECT_EQ(ApplyStampRecord(c.record, p), c.detected);
    EXPECT_EQ(p.incomplete, c.detected ? 0 : 1);
    EXPECT_EQ(p.certificateId, c.detected ? L"CERT-1" : L"");
    EXPECT_EQ(p.sha256Fingerprint, c.detected ? L"abcdef" : L"");
    EXPECT_EQ(p.passesCompleted, c.passes);
    EXPECT_EQ(U8(p.hardware.manufacturer), c.manufacturer);
    EXPECT_EQ(U8(p.hardware.storageController), c.controller);
  }
  // Every field lands in its place: the golden record read back is written back the same.
  StampPayload p;
  ASSERT_TRUE(ApplyStampRecord(ReadGolden("sample_record.txt"), p));
  EXPECT_EQ(BuildStampRecord(p), ReadGolden("sample_record.txt"));
  EXPECT_EQ(U8(p.stampState), "Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)");
}

class DetectTest : public ::testing::Test {
 protected:
  // A disk image of `size` bytes of `fill` with `record` at byte 512.
  StampPayload Detect(const std::string& record, size_t size = 65536, uint8_t fill = 0,
                      uint32_t sector = 512) {
    std::vector<uint8_t> bytes(size, fill);
    for (size_t i = 0; i < record.size() && 512 + i < size; ++i)
      bytes[512 + i] = static_cast<uint8_t>(record[i]);
    WriteWholeFile(dir_.path() / "disk.img", bytes);
    DiskInfo disk;
    disk.devicePath = dir_.File("disk.img");
    disk.model = L"Local Model";
    disk.sizeBytes = 1073741824;
    disk.bytesPerSector = sector;
    return DetectDiskStamp(disk, local_);
  }

  TempDir dir_;
  HardwareProfile local_ = [] {
    HardwareProfile local;
    local.manufacturer = L"local maker";
    return local;
  }();
};

TEST_F(DetectTest, ReadsTheRecordUpToItsZeroOrItsLimitFromWholeSectors) {
  const std::string full = "TVDE_STAMP_V2|" + kReport + "5" + kHardware + "|END";
  EXPECT_EQ(Detect(full, 65536, 0, 4096).hardware.storageController, L"h15");
  // The first zero ends the text, even in the middle of the record; Japanese survives.
  const StampPayload cut =
      Detect("TVDE_STAMP_V2|証明書|" + kReport.substr(7) + "3" + std::string(1, '\0') + kHardware,
             65536, 0x41);
  EXPECT_EQ(cut.incomplete, 0);
  EXPECT_EQ(U8(cut.certificateId), "証明書");
  EXPECT_EQ(cut.hardware.manufacturer, L"local maker");
  // Without a zero at most 2047 bytes are read: the separator at byte 2047 would open the 16
  // hardware fields.
  std::string longRecord = "TVDE_STAMP_V2|" + kReport + "5|";
  longRecord += std::string(2047 - longRecord.size(), 'Z') + kHardware;
  ASSERT_EQ(longRecord[2047], '|');
  EXPECT_EQ(Detect(longRecord, 65536, 0x42).hardware.manufacturer, L"local maker");
  // A read of fewer than 1024 bytes finds nothing.
  const std::string shortRecord = "TVDE_STAMP_V2|" + kReport + "3";
  EXPECT_EQ(Detect(shortRecord, 1023).incomplete, 1);
  EXPECT_EQ(Detect(shortRecord, 1024).incomplete, 0);
  EXPECT_EQ(DetectReadLength(0) + DetectReadLength(1000), 2560u + 3000u);
  // Disks without a stamp keep the prefilled payload.
  for (const StampPayload& p : {Detect(""), Detect("other data at LBA 1", 65536, 0x37)}) {
    EXPECT_EQ(p.incomplete, 1);
    EXPECT_EQ(U8(p.softwareVersion + L"|" + p.diskModel + L"|" + p.diskCapacity + L"|" +
                 p.certificateId + L"|" + p.stampState + L"|" + p.hardware.manufacturer),
              "Toreval Disk Eraser Suite v1.3.0|Local Model|1.00 GB|||local maker");
  }
}

}  // namespace
}  // namespace tvde
