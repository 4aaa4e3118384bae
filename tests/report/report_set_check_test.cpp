// Reading report sets back: written records verify, the golden set agrees with itself, and the
// signature file has one exact form.
#include "report/report_set_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "base/text.h"
#include "report/audit_log_text.h"
#include "report/html_certificate.h"
#include "report/json_report.h"
#include "report/report_fingerprint.h"
#include "report/report_reading.h"
#include "report/report_signature.h"
#include "sample_report.h"
#include "support/file_bytes.h"

namespace tvde {
namespace {

using testing::ReadGolden;
using testing::SampleReport;

ReportSetContents SetOf(const std::wstring& id, const std::string& html, const std::string& txt,
                        const std::string& json) {
  ReportSetContents set;
  set.certificateId = id;
  set.files[static_cast<size_t>(SetFile::Certificate)] = html;
  set.files[static_cast<size_t>(SetFile::AuditLog)] = txt;
  set.files[static_cast<size_t>(SetFile::JsonReport)] = json;
  return set;
}

std::set<std::string> Failed(const std::vector<SetCheck>& checks) {
  std::set<std::string> names;
  for (const SetCheck& check : checks) {
    if (check.state == CheckState::Failed) names.insert(check.name + ": " + check.detail);
  }
  return names;
}

TEST(ReportSetCheck, EveryRecordTheWritersProduceReadsBackAndVerifies) {
  // clang-format off
  const std::vector<std::pair<const char*, std::function<void(ReportData&)>>> variants = {
      {"sample", [](ReportData&) {}},
      {"cancelled simulation, empty notes", [](ReportData& r) {
         r.statusCode = kStatusCancelled;
         r.config.executionMode = ExecutionMode::Simulation;
         r.isWinPE = 0;
         r.config.notes.clear();
       }},
      {"markup, quotes and line breaks in texts", [](ReportData& r) {
         r.config.notes = L"<b>a & b</b> \"q\" 'x'\r\nline two";
         r.config.operatorName = L"O'Brien \"Ops\"\n/ Night";
         r.verificationResult = L"PASSED\t(tab)";
       }},
      {"a job on a server with a TRIM notice", [](ReportData& r) {
         r.hostSystem = L"Microsoft Windows Server (R&D)";
         r.trimNotice = L"NOT PERFORMED (<refused>)";
       }},
      {"a model that holds \", Serial: \"", [](ReportData& r) {
         r.config.disk.model = L"Odd, Serial: Model";
         r.stamp.hardware.disk = L"931.51 GB SSD (SATA/SAS), Model: Odd, Serial: Model, Serial: S6PTNM0T402917K";
       }},
  };
  // clang-format on
  for (const auto& [name, change] : variants) {
    ReportData r = SampleReport();
    change(r);
    r.sha256Fingerprint = ComputeReportFingerprint(r);
    const auto checks = CheckReportSet(
        SetOf(r.certificateId, ReportFileBytes(BuildHtmlCertificate(r)),
              ReportFileBytes(BuildAuditLogText(r)), ReportFileBytes(BuildJsonReport(r))),
        std::nullopt);
    EXPECT_TRUE(Failed(checks).empty()) << name << ": " << *Failed(checks).begin();
    ASSERT_EQ(checks.size(), 6u) << name;  // no signature: nothing after the signature file
    EXPECT_EQ(checks[4].detail, WideToUtf8(r.sha256Fingerprint)) << name;
    EXPECT_EQ(checks[5].detail, "none: the set is not signed");
  }
}

TEST(ReportSetCheck, GoldenSetAgreesWithItselfButCarriesAMadeUpFingerprint) {
  ReportSetContents golden =
      SetOf(L"TVDE-20260105-143012-9A0B1C2D", ReadGolden("sample_Certificate.html"),
            ReadGolden("sample_AuditLog.txt"), ReadGolden("sample_Report.json"));
  const ReportData r = SampleReport();
  EXPECT_EQ(
      Failed(CheckReportSet(golden, std::nullopt)),
      std::set<std::string>{"fingerprint: the reports print " + WideToUtf8(r.sha256Fingerprint) +
                            ", their fields give " + WideToUtf8(ComputeReportFingerprint(r))});
  golden.certificateId = L"TVDE-OTHER";  // named for another certificate: fails at once
  EXPECT_EQ(Failed(CheckReportSet(golden, std::nullopt))
                .count("json report: names the certificate TVDE-20260105-143012-9A0B1C2D, not "
                       "TVDE-OTHER"),
            1u);
}

TEST(ReportSignatureFile, HasOneExactFormAndItsManifestIsTheFileWithoutTheSignature) {
  ReportSignature s;
  s.certificateId = L"TVDE-1";
  s.publicKeyPem = L"-----BEGIN PUBLIC KEY-----\nAA==\n-----END PUBLIC KEY-----\n";
  s.publicKeySha256 = L"ab";
  s.files = {{{L"TVDE-1_Certificate.html", L"01"},
              {L"TVDE-1_AuditLog.txt", L"02"},
              {L"TVDE-1_Report.json", L"03"}}};
  s.signature = L"c2ln";
  const std::string manifest =
      "{\n  \"certificateId\": \"TVDE-1\",\n  \"algorithm\": \"ECDSA-P256-SHA256\",\n"
      "  \"publicKey\": \"-----BEGIN PUBLIC KEY-----\\nAA==\\n-----END PUBLIC KEY-----\\n\",\n"
      "  \"publicKeySha256\": \"ab\",\n  \"files\": {\n    \"TVDE-1_Certificate.html\": \"01\",\n"
      "    \"TVDE-1_AuditLog.txt\": \"02\",\n    \"TVDE-1_Report.json\": \"03\"\n  }\n}\n";
  const std::string file = "{\n  \"signature\": \"c2ln\",\n" + manifest.substr(2);
  EXPECT_EQ(BuildSignatureManifest(s), manifest);
  ASSERT_EQ(BuildSignatureFile(s), file);

  ReportSignature read;
  std::string error;
  ASSERT_TRUE(ReadSignatureFile(file, read, error)) << error;
  EXPECT_EQ(BuildSignatureFile(read), file);
  std::string swapped = file;
  swapped.replace(swapped.find("\"01\""), 4, "\"02\"");  // still well-formed, other values
  // No signature; and any other form (here an extra key) than the one the signer writes.
  for (const std::string& text :
       {"{\n" + manifest.substr(2),
        "{\n  \"signature\": \"c2ln\",\n  \"extra\": \"x\",\n" + manifest.substr(2)}) {
    EXPECT_FALSE(ReadSignatureFile(text, read, error)) << text;
  }
  EXPECT_TRUE(ReadSignatureFile(swapped, read, error));  // the hashes decide, not the reader
}

}  // namespace
}  // namespace tvde
