// Detection of a stamp from LBA 1: tags, field counts, the integer rule, cut records and
// disks without a stamp.
#include "stamp/stamp_detect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stamp_test_support.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::TempDir;
using testing::U8;
using testing::WriteWholeFile;

const std::string kReportFields =
    "CERT-1|2026-10-23 09:00:00|Zero Fill|PASSED|Model X|SER-9|1.00 GB|Op|Org|abcdef|";
const std::string kHardwareFields = "|h0|h1|h2|h3|h4|h5|h6|h7|h8|h9|h10|h11|h12|h13|h14|h15";

class DetectTest : public ::testing::Test {
 protected:
  DiskInfo Disk() const {
    DiskInfo disk;
    disk.devicePath = dir_.File("disk.img");
    disk.model = L"Local Model";
    disk.serialNumber = L"LOCAL-SN";
    disk.sizeBytes = 1073741824;
    disk.bytesPerSector = 512;
    disk.safetyStatus = SafetyStatus::Erasable;
    return disk;
  }

  // A disk image of `size` bytes with `record` at byte 512.
  void MakeDisk(const std::string& record, size_t size = 65536, uint8_t fill = 0) {
    std::vector<uint8_t> bytes(size, fill);
    for (size_t i = 0; i < record.size() && 512 + i < size; ++i) {
      bytes[512 + i] = static_cast<uint8_t>(record[i]);
    }
    WriteWholeFile(dir_.File("disk.img"), bytes);
  }

  StampPayload Detect() const { return DetectDiskStamp(Disk(), local_); }

  void ExpectNotDetected(const StampPayload& p) const {
    EXPECT_EQ(p.incomplete, 1);
    EXPECT_EQ(U8(p.softwareVersion), "Toreval Disk Eraser Suite v1.3.0");
    EXPECT_EQ(p.diskModel, L"Local Model");
    EXPECT_EQ(p.diskSerial, L"LOCAL-SN");
    EXPECT_EQ(p.diskCapacity, L"1.00 GB");
    EXPECT_EQ(p.certificateId, L"");
    EXPECT_EQ(p.stampState, L"");
    EXPECT_EQ(p.passesCompleted, 0);
    EXPECT_EQ(p.hardware.manufacturer, L"local maker");
  }

  void SetUp() override {
    local_.manufacturer = L"local maker";
    local_.storageController = L"local controller";
  }

  TempDir dir_;
  HardwareProfile local_;
};

TEST_F(DetectTest, ReadsAFull29FieldRecordOfEitherVersion) {
  for (const std::string tag : {"TVDE_STAMP_V2|", "TVDE_STAMP_V1|"}) {
    SCOPED_TRACE(tag);
    MakeDisk(tag + kReportFields + "12" + kHardwareFields + "|END");
    const StampPayload p = Detect();
    EXPECT_EQ(p.incomplete, 0);
    EXPECT_EQ(p.certificateId, L"CERT-1");
    EXPECT_EQ(p.sanitizationDate, L"2026-10-23 09:00:00");
    EXPECT_EQ(p.standardName, L"Zero Fill");
    EXPECT_EQ(p.verification, L"PASSED");
    EXPECT_EQ(p.diskModel, L"Model X");
    EXPECT_EQ(p.diskSerial, L"SER-9");
    EXPECT_EQ(p.diskCapacity, L"1.00 GB");
    EXPECT_EQ(p.operatorName, L"Op");
    EXPECT_EQ(p.organizationName, L"Org");
    EXPECT_EQ(p.sha256Fingerprint, L"abcdef");
    EXPECT_EQ(p.passesCompleted, 12);
    EXPECT_EQ(U8(p.stampState), "Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)");
    EXPECT_EQ(U8(p.softwareVersion), "Toreval Disk Eraser Suite v1.3.0");
    EXPECT_EQ(p.hardware.manufacturer, L"h0");
    EXPECT_EQ(p.hardware.chassisType, L"h1");
    EXPECT_EQ(p.hardware.uuid, L"h4");
    EXPECT_EQ(p.hardware.networkAdapters, L"h12");
    EXPECT_EQ(p.hardware.biosInformation, L"h14");
    EXPECT_EQ(p.hardware.storageController, L"h15");
  }
}

TEST_F(DetectTest, TheTagMustOpenTheRecord) {
  for (const std::string& record :
       {" TVDE_STAMP_V2|" + kReportFields + "1", "XTVDE_STAMP_V2|" + kReportFields + "1",
        "TVDE_STAMP_V3|" + kReportFields + "1", "TVDE_STAMP_V2 " + kReportFields + "1",
        "tvde_stamp_v2|" + kReportFields + "1"}) {
    SCOPED_TRACE(record);
    MakeDisk(record);
    ExpectNotDetected(Detect());
  }
}

TEST_F(DetectTest, TwelveFieldsGiveTheReportAndKeepTheLocalHardware) {
  MakeDisk("TVDE_STAMP_V2|" + kReportFields + "2");
  const StampPayload twelve = Detect();
  EXPECT_EQ(twelve.incomplete, 0);
  EXPECT_EQ(twelve.sha256Fingerprint, L"abcdef");
  EXPECT_EQ(twelve.passesCompleted, 2);
  EXPECT_EQ(twelve.hardware.manufacturer, L"local maker");
  EXPECT_EQ(twelve.hardware.storageController, L"local controller");

  // A trailing separator does not make a twelfth field.
  MakeDisk("TVDE_STAMP_V2|" + kReportFields);
  ExpectNotDetected(Detect());
  // An empty field between two separators does count.
  MakeDisk("TVDE_STAMP_V2||" + kReportFields.substr(7) + "|");
  const StampPayload empty = Detect();
  EXPECT_EQ(empty.incomplete, 0);
  EXPECT_EQ(empty.certificateId, L"");
  EXPECT_EQ(empty.sanitizationDate, L"2026-10-23 09:00:00");
}

TEST_F(DetectTest, HardwareComesFromTheRecordOnlyWithAtLeast28Fields) {
  // 27 fields: the last hardware field is missing.
  MakeDisk("TVDE_STAMP_V2|" + kReportFields +
           "1|h0|h1|h2|h3|h4|h5|h6|h7|h8|h9|h10|h11|h12|h13|h14");
  const StampPayload short27 = Detect();
  EXPECT_EQ(short27.incomplete, 0);
  EXPECT_EQ(short27.hardware.manufacturer, L"local maker");
  // 28 fields: no END, but all sixteen hardware fields.
  MakeDisk("TVDE_STAMP_V2|" + kReportFields + "1" + kHardwareFields);
  const StampPayload full28 = Detect();
  EXPECT_EQ(full28.hardware.manufacturer, L"h0");
  EXPECT_EQ(full28.hardware.storageController, L"h15");
  // Fields past END are ignored.
  MakeDisk("TVDE_STAMP_V2|" + kReportFields + "1" + kHardwareFields + "|END|extra|more");
  EXPECT_EQ(Detect().hardware.storageController, L"h15");
}

TEST_F(DetectTest, ReadsThePassCountLikeTheCLibrary) {
  const std::vector<std::pair<std::string, int32_t>> cases = {
      {"7x", 7}, {"", 0}, {"x7", 0}, {" \t-3", -3}, {"+15 passes", 15}, {"-", 0}};
  for (const auto& [field, expected] : cases) {
    SCOPED_TRACE(field);
    MakeDisk("TVDE_STAMP_V2|" + kReportFields + field + "|END");
    const StampPayload p = Detect();
    EXPECT_EQ(p.incomplete, 0);
    EXPECT_EQ(p.passesCompleted, expected);
  }
}

TEST(ParseCDecimal, SaturatesInsteadOfOverflowing) {
  EXPECT_EQ(ParseCDecimal("2147483647"), 2147483647);
  EXPECT_EQ(ParseCDecimal("2147483648"), 2147483647);
  EXPECT_EQ(ParseCDecimal("99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseCDecimal("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseCDecimal("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(ParseCDecimal("\n\v\f\r 0012"), 12);
  EXPECT_EQ(ParseCDecimal("+-1"), 0);
}

TEST_F(DetectTest, TextStopsAtTheFirstZeroAndJapaneseSurvives) {
  std::string record = "TVDE_STAMP_V2|証明書|2026|標準|PASSED|m|s|c|山田\xE3\x80\x80太郎|o|f|3";
  record += std::string(1, '\0') + "|h0|h1|h2|h3|h4|h5|h6|h7|h8|h9|h10|h11|h12|h13|h14|h15";
  MakeDisk(record, 65536, 0x41);
  const StampPayload p = Detect();
  EXPECT_EQ(p.incomplete, 0);
  EXPECT_EQ(U8(p.certificateId), "証明書");
  EXPECT_EQ(U8(p.standardName), "標準");
  EXPECT_EQ(U8(p.operatorName), "山田\xE3\x80\x80太郎");
  EXPECT_EQ(p.hardware.manufacturer, L"local maker");
}

TEST_F(DetectTest, ARecordWithoutZeroIsReadUpTo2047Bytes) {
  // LBA 1..4 full of record text: byte 2047 of the record would open 16 hardware fields if it
  // were read, so the hardware shows whether the limit holds.
  std::string record = "TVDE_STAMP_V2|" + kReportFields + "5|";
  record += std::string(2047 - record.size(), 'Z') + kHardwareFields;
  ASSERT_EQ(record[2047], '|');
  MakeDisk(record, 65536, 0x42);
  const StampPayload p = Detect();
  EXPECT_EQ(p.incomplete, 0);
  EXPECT_EQ(p.passesCompleted, 5);
  EXPECT_EQ(p.hardware.manufacturer, L"local maker");
}

TEST_F(DetectTest, ARecordCutInsideACharacterKeepsTheReadablePartOfTheField) {
  // The writer cuts at 2047 bytes; here inside the second character of "消去" in field 27.
  std::string record =
      "TVDE_STAMP_V2|" + kReportFields + "5|h0|h1|h2|h3|h4|h5|h6|h7|h8|h9|h10|h11|h12|h13|h14|";
  const size_t padding = 2047 - record.size() - 4;
  record += std::string(padding, 'P') + "消去";
  record.resize(2047);
  MakeDisk(record);
  const StampPayload p = Detect();
  EXPECT_EQ(p.incomplete, 0);
  EXPECT_EQ(p.hardware.biosInformation, L"h14");
  EXPECT_EQ(U8(p.hardware.storageController), std::string(padding, 'P') + "消");
}

TEST_F(DetectTest, DisksWithoutAReadableStampKeepThePrefilledPayload) {
  MakeDisk("");
  ExpectNotDetected(Detect());
  MakeDisk("some other data at LBA 1", 65536, 0x37);
  ExpectNotDetected(Detect());

  DiskInfo missing = Disk();
  missing.devicePath = dir_.File("absent.img");
  const StampPayload absent = DetectDiskStamp(missing, local_);
  ExpectNotDetected(absent);
}

TEST_F(DetectTest, AReadOfFewerThan1024BytesFindsNothing) {
  const std::string record = "TVDE_STAMP_V2|" + kReportFields + "3";
  ASSERT_LT(512 + record.size(), 1023u);
  MakeDisk(record, 1023);
  ExpectNotDetected(Detect());
  MakeDisk(record, 1024);
  EXPECT_EQ(Detect().incomplete, 0);
}

TEST_F(DetectTest, ReadsWholeSectorsOf4096Bytes) {
  EXPECT_EQ(DetectReadLength(0), 2560u);
  EXPECT_EQ(DetectReadLength(512), 2560u);
  EXPECT_EQ(DetectReadLength(4096), 4096u);
  EXPECT_EQ(DetectReadLength(1000), 3000u);
}

}  // namespace
}  // namespace tvde

namespace tvde {
namespace {

TEST(DetectDiskStampLocal, FallsBackToTheRunningMachinesProfile) {
  testing::TempDir dir;
  DiskInfo disk;
  disk.devicePath = dir.File("zero.img");
  disk.bytesPerSector = 512;
  testing::WriteWholeFile(disk.devicePath, std::vector<uint8_t>(8192, 0));
  const StampPayload none = DetectDiskStamp(disk);
  EXPECT_EQ(none.incomplete, 1);
  const HardwareProfile collected = CollectHardwareProfile(disk);
  EXPECT_FALSE(none.hardware.processor.empty());
  EXPECT_EQ(none.hardware.processor, collected.processor);
  EXPECT_EQ(none.hardware.manufacturer, collected.manufacturer);

  std::string record = "TVDE_STAMP_V2|" + kReportFields + "1" + kHardwareFields + "|END";
  std::vector<uint8_t> bytes(8192, 0);
  std::copy(record.begin(), record.end(), bytes.begin() + 512);
  testing::WriteWholeFile(disk.devicePath, bytes);
  const StampPayload found = DetectDiskStamp(disk);
  EXPECT_EQ(found.incomplete, 0);
  EXPECT_EQ(found.hardware.processor, L"h6");
}

}  // namespace
}  // namespace tvde
