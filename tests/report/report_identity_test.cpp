// Certificate IDs, time stamps, SHA-256 text and the report fingerprint.
#include "report/report_identity.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "report/report_fingerprint.h"
#include "sample_report.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::SampleReport;
using testing::U8;

TEST(CertificateId, FormatsTimeAndRandomBytes) {
  const LocalTime t{2026, 1, 5, 14, 30, 12, 999};
  EXPECT_EQ(U8(FormatCertificateId(t, {0x9A, 0x0B, 0x1C, 0x2D})), "TVDE-20260105-143012-9A0B1C2D");
  EXPECT_EQ(U8(FormatCertificateId(t, {0, 0, 0, 0})), "TVDE-20260105-143012-00000000");
  EXPECT_EQ(U8(FormatTimestamp(t)), "2026-01-05 14:30:12");
  EXPECT_EQ(U8(FormatTimestamp({999, 12, 31, 23, 59, 59, 0})), "0999-12-31 23:59:59");
}

TEST(CertificateId, HasTheFixedShapeAndSharesTheSecondPrefix) {
  const std::regex shape("TVDE-[0-9]{8}-[0-9]{6}-[0-9A-F]{8}");
  std::set<std::string> suffixes;
  bool comparedSameSecond = false;
  for (int attempt = 0; attempt < 20 && !comparedSameSecond; ++attempt) {
    const std::string before = U8(FormatTimestamp(CurrentLocalTime()));
    const std::string a = U8(MakeCertificateId());
    const std::string b = U8(MakeCertificateId());
    const std::string after = U8(FormatTimestamp(CurrentLocalTime()));
    ASSERT_EQ(a.size(), 29u);
    ASSERT_TRUE(std::regex_match(a, shape)) << a;
    ASSERT_TRUE(std::regex_match(b, shape)) << b;
    suffixes.insert(a.substr(21));
    suffixes.insert(b.substr(21));
    if (before == after) {
      // Both made within one second: same date and time part, fresh random part.
      EXPECT_EQ(a.substr(0, 21), b.substr(0, 21));
      EXPECT_NE(a.substr(21), b.substr(21));
      const std::string digits = before.substr(0, 4) + before.substr(5, 2) + before.substr(8, 2) +
                                 "-" + before.substr(11, 2) + before.substr(14, 2) +
                                 before.substr(17, 2);
      EXPECT_EQ(a.substr(5, 15), digits);
      comparedSameSecond = true;
    }
  }
  EXPECT_TRUE(comparedSameSecond);
  EXPECT_GE(suffixes.size(), 2u);
}

TEST(Sha256Hex, UpperCaseDigitsAndMarkers) {
  EXPECT_EQ(U8(Sha256Hex(std::string("abc"))),
            "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  Sha256Digest digest;
  digest.status = Sha256Status::Unavailable;
  EXPECT_EQ(U8(FormatSha256Digest(digest)), "SHA256-UNAVAILABLE");
  digest.status = Sha256Status::Error;
  EXPECT_EQ(U8(FormatSha256Digest(digest)), "SHA256-ERROR");
  digest.status = Sha256Status::Ok;
  digest.bytes.fill(0);
  digest.bytes[0] = 0x0A;
  digest.bytes[31] = 0xF0;
  EXPECT_EQ(U8(FormatSha256Digest(digest)), "0A" + std::string(60, '0') + "F0");
}

TEST(ReportFingerprint, EmptyRecordHashesItsTenDefaultItems) {
  const ReportData empty;
  EXPECT_EQ(U8(BuildFingerprintText(empty)),
            "|||Generic Physical Disk|N/A|0|NIST SP 800-88 Rev.1 Purge "
            "(NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero)|0/0||0");
  // Digest of that text from an independent SHA-256 implementation.
  EXPECT_EQ(U8(ComputeReportFingerprint(empty)),
            "7AF7EBBD56AC2783A1EC36C7A70221C24AD8D479C5052A0C87E60F27B89F67A4");
}

TEST(ReportFingerprint, JapaneseTextIsHashedAsUtf8AndSizesIn64Bits) {
  ReportData r;
  r.certificateId = L"TVDE-20260105-143012-9A0B1C2D";
  r.startTime = L"2026-01-05 14:30:12";
  r.endTime = L"2026-01-05 16:05:47";
  r.config.disk.model = L"東芝 MQ04ABF100";
  r.config.disk.serialNumber = L"Z9K1ABCDE";
  r.config.disk.sizeBytes = 5000000000000ULL;
  r.config.standard = EraseStandard::Gutmann;
  r.passesCompleted = 35;
  r.passesPlanned = 35;
  r.verificationResult = L"検証合格 (全サンプル一致)";
  r.statusCode = 3;
  EXPECT_EQ(U8(ComputeReportFingerprint(r)),
            "343678788DE02DCC511A47864ED9C11608E093735C4D8E8E5B4B30AFF8342629");
}

TEST(ReportFingerprint, StableAndSensitiveToEachOfTheTenItems) {
  const ReportData base = SampleReport();
  const std::wstring reference = ComputeReportFingerprint(base);
  ASSERT_EQ(reference.size(), 64u);
  EXPECT_EQ(U8(reference).find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(ComputeReportFingerprint(SampleReport()), reference);

  std::vector<ReportData> changed(10, base);
  changed[0].certificateId = L"TVDE-20260105-143012-9A0B1C2E";
  changed[1].startTime = L"2026-01-05 14:30:13";
  changed[2].endTime = L"2026-01-05 16:05:48";
  changed[3].config.disk.model = L"Samsung SSD 870 EVO 2TB";
  changed[4].config.disk.serialNumber = L"S6PTNM0T402917L";
  changed[5].config.disk.sizeBytes += 1;
  changed[6].config.standard = EraseStandard::HmgIs5Enhanced;
  changed[7].passesCompleted = 2;  // 2/3 instead of 3/3
  changed[8].verificationResult = L"FAILED";
  changed[9].statusCode = 4;
  std::set<std::wstring> all{reference};
  for (size_t i = 0; i < changed.size(); ++i) {
    const std::wstring digest = ComputeReportFingerprint(changed[i]);
    EXPECT_NE(digest, reference) << "item " << i + 1;
    all.insert(digest);
  }
  EXPECT_EQ(all.size(), 11u);

  // Facts outside the ten items do not enter the fingerprint.
  ReportData other = base;
  other.config.notes = L"changed";
  other.stamp.hardware.model = L"changed";
  other.sha256Fingerprint = L"changed";
  other.elapsedSeconds = 1.0;
  EXPECT_EQ(ComputeReportFingerprint(other), reference);
}

}  // namespace
}  // namespace tvde
