// The 25-line BIOS report screen, against a text written out by hand.
#include "stamp/report_screen_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stamp_test_support.h"

namespace tvde {
namespace {

using testing::SamplePayload;

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
}

std::string ScreenOf(const StampPayload& payload) {
  return BuildReportScreenText(BuildEfiReportBlock(payload), payload);
}

TEST(ReportScreenText, MatchesTheHandWrittenScreenOfTheSamplePayload) {
  const std::string expected =
      " TOREVAL DISK ERASER - SANITIZATION & HARDWARE REPORT   [SANITIZED & VERIFIED]\r\n"
      " Cert: TVDE-20261023-A1B2C3 | Date: 2026-10-23 14:05:09\r\n"
      " [Report Details]\r\n"
      "  Software Version : Toreval Disk Eraser Suite v1.3.0\r\n"
      "  Erasure Standard : DoD 5220.22-M (3 Passes - ) (3 Passes)\r\n"
      "  Verification     : PASSED (64/64 samples clean)\r\n"
      "  SHA-256 Digest   : 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b\r\n"
      " [Hardware Details]\r\n"
      "  Manufacturer     : Toreval Systems\r\n"
      "  Chassis / Model  : Notebook / TV-1000\r\n"
      "  Serial / Asset   : SN-0042 (Asset: None)\r\n"
      "  System UUID      : 4C4C4544-0042-3010-8036-B2C04F4E3332\r\n"
      "  Processor (CPU)  : x86-64 Processor 4 Cores @ 1.60GHz\r\n"
      "  Total Memory     : 16.00 GB\r\n"
      "  Disk             : TVX SSD 512GB (476.94 GB)\r\n"
      "  Disk Geometry    : 512 B/Sector, 1000215216 Sectors\r\n"
      "  Graphics Card    : Standard VGA Adapter\r\n"
      "  Sound Cards      : High Definition Audio\r\n"
      "  Network / MAC    : Ethernet 00:11:22:33:44:55\r\n"
      "  Motherboard      : TV-MB100\r\n"
      "  BIOS Information : TVBIOS 1.07 (2025-01-15)\r\n"
      "  Storage Control  : Standard NVM Express Controller\r\n"
      "  Operator / Org   :   / Toreval Tools Lab\r\n"
      "\r\n"
      " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS).";
  EXPECT_EQ(ScreenOf(SamplePayload()), expected);
}

TEST(ReportScreenText, HasExactly25LinesOfAtMost78CharactersWhateverTheValues) {
  StampPayload payload = SamplePayload();
  payload.certificateId = std::wstring(120, L'C');
  payload.verification = std::wstring(95, L'V');
  payload.hardware.serial = std::wstring(91, L'S');
  payload.hardware.assetTag = L"ASSET";
  payload.hardware.biosInformation = std::wstring(200, L'B');
  const std::string text = ScreenOf(payload);
  const auto lines = SplitLines(text);
  ASSERT_EQ(lines.size(), 25u);
  for (const std::string& line : lines) {
    EXPECT_LE(line.size(), 78u) << line;
    for (char c : line)
      EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << line;
  }
  EXPECT_EQ(lines[1], " Cert: " + std::string(71, 'C'));
  EXPECT_EQ(lines[5], "  Verification     : " + std::string(57, 'V'));
  // The serial takes the whole line; the asset part is lost.
  EXPECT_EQ(lines[10], "  Serial / Asset   : " + std::string(57, 'S'));
  EXPECT_EQ(lines[20], "  BIOS Information : " + std::string(57, 'B'));
  EXPECT_EQ(lines[23], "");
  EXPECT_EQ(text.substr(text.size() - 7), "No OS).");  // no line end after the last line
}

TEST(ReportScreenText, ShowsBlockValuesSoJapaneseIsDroppedAndTheVersionFallsBack) {
  StampPayload payload = SamplePayload();
  payload.certificateId = L"証明書";
  payload.softwareVersion = L"";
  payload.hardware.biosInformation = L"BIOS 設定 2.0";
  payload.hardware.storageController = L"\u3000AHCI";
  const auto lines = SplitLines(ScreenOf(payload));
  ASSERT_EQ(lines.size(), 25u);
  EXPECT_EQ(lines[1], " Cert:  | Date: 2026-10-23 14:05:09");
  EXPECT_EQ(lines[3], "  Software Version : Toreval Disk Eraser v1.3.0");
  EXPECT_EQ(lines[20], "  BIOS Information : BIOS  2.0");
  EXPECT_EQ(lines[21], "  Storage Control  :  AHCI");
}

}  // namespace
}  // namespace tvde
