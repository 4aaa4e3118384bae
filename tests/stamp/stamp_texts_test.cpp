// Text rules of the stamp: state labels, ASCII filtering, fixed fields, screen lines, the
// StampRecord and the MBR message, against texts written out by hand.
#include "stamp/stamp_texts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "stamp_test_support.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::SamplePayload;
using testing::U8;

std::vector<std::string> SplitAtBars(const std::string& text) {
  std::vector<std::string> fields(1);
  for (char c : text) {
    if (c == '|') {
      fields.emplace_back();
    } else {
      fields.back().push_back(c);
    }
  }
  return fields;
}

TEST(StampStateLabel, PureZeroWinsOverModeAndRealWriteIsTheOnlyActiveStamp) {
  EXPECT_EQ(U8(StampStateLabel(PostEraseState::PureZero, ExecutionMode::RealWrite)),
            "Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)");
  EXPECT_EQ(U8(StampStateLabel(PostEraseState::PureZero, ExecutionMode::Simulation)),
            "Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)");
  EXPECT_EQ(U8(StampStateLabel(PostEraseState::WriteStamp, ExecutionMode::RealWrite)),
            "Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)");
  EXPECT_EQ(U8(StampStateLabel(PostEraseState::WriteStamp, ExecutionMode::Simulation)),
            "Simulation / Dry-Run Report Stamp");
  // An unknown mode never claims a real stamp.
  EXPECT_EQ(U8(StampStateLabel(PostEraseState::WriteStamp, static_cast<ExecutionMode>(7))),
            "Simulation / Dry-Run Report Stamp");
}

TEST(ToPrintableAscii, KeepsPrintableAsciiTurnsIdeographicSpaceIntoSpaceDropsTheRest) {
  EXPECT_EQ(ToPrintableAscii(L" Az~09!"), " Az~09!");
  EXPECT_EQ(ToPrintableAscii(L"a\tb\r\nc\x7F"), "abc");
  EXPECT_EQ(ToPrintableAscii(L"山田\u3000太郎"), " ");
  EXPECT_EQ(ToPrintableAscii(L"Disk ディスク 1"), "Disk  1");
  EXPECT_EQ(ToPrintableAscii(L"caf\u00E9 \U0001F600!"), "caf !");
  EXPECT_EQ(ToPrintableAscii(L""), "");
}

TEST(CopyFixedField, ZeroPadsCutsToWidthMinusOneAndReplacesUnprintableBytes) {
  std::array<uint8_t, 8> field;
  field.fill(0xEE);
  CopyFixedField(field, "ABC");
  EXPECT_EQ(field, (std::array<uint8_t, 8>{'A', 'B', 'C', 0, 0, 0, 0, 0}));

  field.fill(0xEE);
  CopyFixedField(field, "0123456789");
  EXPECT_EQ(field, (std::array<uint8_t, 8>{'0', '1', '2', '3', '4', '5', '6', 0}));

  CopyFixedField(field, std::string("a\tb\x80z", 5));
  EXPECT_EQ(field, (std::array<uint8_t, 8>{'a', '?', 'b', '?', 'z', 0, 0, 0}));

  // A label of 40 characters keeps 27 in a 28-byte field.
  std::array<uint8_t, 28> label;
  CopyFixedField(label, std::string(40, 'L'));
  EXPECT_EQ(std::string(label.begin(), label.begin() + 27), std::string(27, 'L'));
  EXPECT_EQ(label[27], 0);

  std::array<uint8_t, 1> one{0x55};
  CopyFixedField(one, "xyz");
  EXPECT_EQ(one[0], 0);
  CopyFixedField(std::span<uint8_t>(), "nothing to do");  // width 0 must not write anywhere
}

TEST(FitReportLine, CutsOnlyLinesLongerThan78) {
  EXPECT_EQ(FitReportLine(std::string(77, 'a')), std::string(77, 'a'));
  EXPECT_EQ(FitReportLine(std::string(78, 'b')), std::string(78, 'b'));
  EXPECT_EQ(FitReportLine(std::string(78, 'c') + "XYZ"), std::string(78, 'c'));
  EXPECT_EQ(FitReportLine(""), "");
}

TEST(BuildStampRecord, MatchesTheHandWrittenRecordOfTheSamplePayload) {
  const std::string expected =
      "TVDE_STAMP_V2|TVDE-20261023-A1B2C3|2026-10-23 14:05:09|"
      "DoD 5220.22-M (3 Passes - 米国国防総省標準)|PASSED (64/64 samples clean)|TVX SSD 512GB|"
      "S5R8NX0T123456|476.94 GB|山田\xE3\x80\x80太郎|Toreval Tools Lab|"
      "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08|3|"
      "Toreval Systems|Notebook|TV-1000|SN-0042|4C4C4544-0042-3010-8036-B2C04F4E3332|None|"
      "x86-64 Processor 4 Cores @ 1.60GHz|16.00 GB|TVX SSD 512GB (476.94 GB)|"
      "512 B/Sector, 1000215216 Sectors|Standard VGA Adapter|High Definition Audio|"
      "Ethernet 00:11:22:33:44:55|TV-MB100|TVBIOS 1.07 (2025-01-15)|"
      "Standard NVM Express Controller|END";
  EXPECT_EQ(BuildStampRecord(SamplePayload()), expected);
}

TEST(BuildStampRecord, ReplacesSeparatorsAndLineBreaksInEveryFieldSoTheRecordKeeps29Fields) {
  StampPayload payload = SamplePayload();
  payload.certificateId = L"A|B";
  payload.operatorName = L"line1\r\nline2";
  payload.hardware.storageController = L"x|y\nz";
  payload.hardware.manufacturer = L"";
  payload.softwareVersion = L"not|in|record";
  payload.stampState = L"not|in|record";
  payload.passesCompleted = -1;
  const std::string record = BuildStampRecord(payload);
  EXPECT_EQ(record.find('\r'), std::string::npos);
  EXPECT_EQ(record.find('\n'), std::string::npos);
  EXPECT_EQ(record.find("not"), std::string::npos);
  const auto fields = SplitAtBars(record);
  ASSERT_EQ(fields.size(), 29u);
  EXPECT_EQ(fields[0], "TVDE_STAMP_V2");
  EXPECT_EQ(fields[1], "A B");
  EXPECT_EQ(fields[8], "line1  line2");
  EXPECT_EQ(fields[11], "-1");
  EXPECT_EQ(fields[12], "");
  EXPECT_EQ(fields[27], "x y z");
  EXPECT_EQ(fields[28], "END");
}

TEST(BuildStampRecord, KeepsJapaneseTextAsUtf8) {
  StampPayload payload = SamplePayload();
  payload.certificateId = L"証明書-001";
  payload.hardware.serial = L"シリアル";
  const auto fields = SplitAtBars(BuildStampRecord(payload));
  EXPECT_EQ(fields[1], "証明書-001");
  EXPECT_EQ(fields[15], "シリアル");
}

TEST(BuildMbrMessage, CarriesThePrintableCertificateIdBetweenLineBreaks) {
  EXPECT_EQ(BuildMbrMessage(SamplePayload()),
            "\r\n[TOREVAL DISK ERASER] SANITIZED & VERIFIED. Cert: TVDE-20261023-A1B2C3\r\n");
  StampPayload japanese = SamplePayload();
  japanese.certificateId = L"証明書\tX";
  EXPECT_EQ(BuildMbrMessage(japanese),
            "\r\n[TOREVAL DISK ERASER] SANITIZED & VERIFIED. Cert: X\r\n");
}

}  // namespace
}  // namespace tvde
