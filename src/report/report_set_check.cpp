// The checks of a report set, in the order they are printed.
#include "report/report_set_check.h"

#include <cmath>

#include "base/ecdsa_p256.h"
#include "base/pem.h"
#include "base/text.h"
#include "report/audit_log_text.h"
#include "report/html_certificate.h"
#include "report/json_report.h"
#include "report/report_file_names.h"
#include "report/report_fingerprint.h"
#include "report/report_reading.h"
#include "report/report_signature.h"

namespace tvde {
namespace {

constexpr size_t kShownLineBytes = 160;

// A file line for a message: at most kShownLineBytes bytes, cut on a character boundary, with
// control characters (a line's CR, or escape sequences someone put into a report to fool a
// terminal) shown as "?".
std::string Shown(const std::string& line) {
  size_t cut = line.size();
  if (cut > kShownLineBytes) {
    cut = kShownLineBytes;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
      --cut;
  }
  std::string shown = "\"";
  for (size_t i = 0; i < cut; ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    shown.push_back(c < 0x20 || c == 0x7F ? '?' : line[i]);
  }
  shown += cut < line.size() ? "...\"" : "\"";
  return shown;
}

class SetChecker {
 public:
  SetChecker(const ReportSetContents& set, const std::optional<ExpectedSigner>& signer)
      : set_(set), signer_(signer) {}

  std::vector<SetCheck> Run() {
    CheckFiles();
    const bool jsonRead = CheckJsonReport();
    CheckAuditLog(jsonRead);
    const bool statusRead = CheckCertificate(jsonRead);
    CheckFingerprint(jsonRead && statusRead);
    if (CheckSignatureFile()) {
      CheckFileHashes();
      CheckSignature();
    }
    return std::move(checks_);
  }

 private:
  const std::optional<std::string>& File(SetFile file) const {
    return set_.files[static_cast<size_t>(file)];
  }
  std::string Name(SetFile file) const {
    return WideToUtf8(set_.certificateId + SetFileSuffix(file));
  }
  bool Add(const char* name, CheckState state, std::string detail) {
    checks_.push_back({name, state, std::move(detail)});
    return state == CheckState::Passed;
  }
  bool Pass(const char* name, std::string detail = {}) {
    return Add(name, CheckState::Passed, std::move(detail));
  }
  bool Fail(const char* name, std::string detail) {
    return Add(name, CheckState::Failed, std::move(detail));
  }
  bool Skip(const char* name, std::string detail) {
    return Add(name, CheckState::NotChecked, std::move(detail));
  }

  void CheckFiles() {
    std::string problems;
    for (SetFile file : {SetFile::Certificate, SetFile::AuditLog, SetFile::JsonReport}) {
      const size_t i = static_cast<size_t>(file);
      if (File(file)) continue;
      problems += (problems.empty() ? "" : "; ") + Name(file) +
                  (set_.readErrors[i].empty() ? " is missing" : ": " + set_.readErrors[i]);
    }
    problems.empty() ? Pass("files") : Fail("files", problems);
  }

  bool CheckJsonReport() {
    const auto& json = File(SetFile::JsonReport);
    if (!json) return Skip("json report", "no JSON report");
    std::string error;
    if (!ReadJsonReport(*json, report_, error)) return Fail("json report", error);
    jsonElapsed_ = report_.elapsedSeconds;
    const LineDifference difference =
        FirstDifferentLine(*json, ReportFileBytes(BuildJsonReport(report_)));
    if (difference.line != 0) {
      return Fail("json report", "line " + std::to_string(difference.line) + " " +
                                     Shown(difference.actual) +
                                     " is not laid out as this program writes it");
    }
    if (report_.certificateId != set_.certificateId) {
      return Fail("json report", "names the certificate " + WideToUtf8(report_.certificateId) +
                                     ", not " + WideToUtf8(set_.certificateId));
    }
    return Pass("json report");
  }

  // The file must be exactly what the program writes for the JSON report's values.
  bool Compare(const char* name, SetFile file, const std::string& expected) {
    const LineDifference difference = FirstDifferentLine(*File(file), expected);
    if (difference.line == 0) return Pass(name);
    return Fail(name, "line " + std::to_string(difference.line) + " reads " +
                          Shown(difference.actual) + " where the JSON report gives " +
                          Shown(difference.expected));
  }

  void CheckAuditLog(bool jsonRead) {
    if (!File(SetFile::AuditLog)) {
      Skip("audit log", "missing");
    } else if (!jsonRead) {
      Skip("audit log", "no JSON report to compare with");
    } else {
      Compare("audit log", SetFile::AuditLog, ReportFileBytes(BuildAuditLogText(report_)));
    }
  }

  bool CheckCertificate(bool jsonRead) {
    const char* name = "certificate";
    const auto& html = File(SetFile::Certificate);
    if (!html) return Skip(name, "missing");
    if (!jsonRead) return Skip(name, "no JSON report to compare with");
    std::string error;
    if (!ReadCertificateOnlyFields(*html, report_, error)) {
      Fail(name, error);
      return false;
    }
    // The JSON report keeps 6 significant digits, the certificate 2 decimals.
    const double json = jsonElapsed_;
    const double tolerance = 0.005 + 5e-6 * std::fabs(json) + 1e-9;
    if (!(std::fabs(json - report_.elapsedSeconds) <= tolerance) &&
        !(std::isnan(json) && std::isnan(report_.elapsedSeconds))) {
      Fail(name, FormatPrintf("the elapsed time is %.2f s, the JSON report gives %g s",
                              report_.elapsedSeconds, json));
      return true;
    }
    Compare(name, SetFile::Certificate, ReportFileBytes(BuildHtmlCertificate(report_)));
    return true;
  }

  void CheckFingerprint(bool fieldsRead) {
    const char* name = "fingerprint";
    if (!fieldsRead) {
      Skip(name, "needs the JSON report and the certificate");
      return;
    }
    const std::vector<DiskInfo> readings = TargetDiskReadings(report_.stamp.hardware);
    if (readings.empty()) {
      Fail(name, "the hardware profile's disk texts give no model, serial number and size");
      return;
    }
    std::wstring first;
    for (const DiskInfo& disk : readings) {
      ReportData record = report_;
      record.config.disk = disk;
      const std::wstring computed = ComputeReportFingerprint(record);
      if (computed == report_.sha256Fingerprint) {
        Pass(name, WideToUtf8(computed));
        return;
      }
      if (first.empty()) first = computed;
    }
    Fail(name, "the reports print " + WideToUtf8(report_.sha256Fingerprint) +
                   ", their fields give " + WideToUtf8(first));
  }

  // True when a signature file was read and belongs to this set.
  bool CheckSignatureFile() {
    const char* name = "signature file";
    const auto& text = File(SetFile::Signature);
    const std::string& readError = set_.readErrors[static_cast<size_t>(SetFile::Signature)];
    if (!text && !readError.empty()) return Fail(name, Name(SetFile::Signature) + ": " + readError);
    if (!text) {
      if (signer_) return Fail(name, "missing: a signature by " + signer_->name + " was asked for");
      Pass(name, "none: the set is not signed");
      return false;
    }
    std::string error;
    if (!ReadSignatureFile(*text, signature_, error)) return Fail(name, error);
    if (signature_.certificateId != set_.certificateId) {
      return Fail(name, "belongs to " + WideToUtf8(signature_.certificateId) + ", not to " +
                            WideToUtf8(set_.certificateId));
    }
    for (size_t i = 0; i < signature_.files.size(); ++i) {
      const std::string expected = Name(static_cast<SetFile>(i));
      if (signature_.files[i].name != Utf8ToWide(expected)) {
        return Fail(name, "lists " + WideToUtf8(signature_.files[i].name) + " where " + expected +
                              " belongs");
      }
    }
    if (signature_.algorithm != kSignatureAlgorithm) {
      return Fail(name, "unknown algorithm " + WideToUtf8(signature_.algorithm));
    }
    return Pass(name);
  }

  void CheckFileHashes() {
    std::string problems;
    for (size_t i = 0; i < signature_.files.size(); ++i) {
      const auto& content = File(static_cast<SetFile>(i));
      const std::wstring actual = content ? LowerHexSha256(*content) : L"";
      if (actual == signature_.files[i].sha256) continue;
      problems += (problems.empty() ? "" : "; ") + WideToUtf8(signature_.files[i].name) +
                  (content ? " has SHA-256 " + WideToUtf8(actual) + ", signed " +
                                 WideToUtf8(signature_.files[i].sha256)
                           : " is missing");
    }
    problems.empty() ? Pass("file hashes") : Fail("file hashes", problems);
  }

  void CheckSignature() {
    std::vector<uint8_t> spki;
    std::vector<uint8_t> der;
    std::string error;
    if (!DecodePublicKeyPem(WideToUtf8(signature_.publicKeyPem), spki, error)) {
      Fail("signature", "the signature file's public key: " + error);
    } else if (LowerHexSha256(spki) != signature_.publicKeySha256) {
      Fail("signature", "publicKeySha256 is not the SHA-256 of the public key");
    } else if (!Base64Decode(WideToUtf8(signature_.signature), der) ||
               !VerifyEcdsaP256Sha256(spki, AsBytes(BuildSignatureManifest(signature_)), der)) {
      Fail("signature", "does not verify with the public key in the signature file");
    } else {
      Pass("signature", WideToUtf8(signature_.algorithm) + ", key SHA-256 " +
                            WideToUtf8(signature_.publicKeySha256));
      CheckSigner(spki);
      return;
    }
    Skip("signing key", "no valid signature");
  }

  void CheckSigner(const std::vector<uint8_t>& spki) {
    if (!signer_) {
      Skip("signing key",
           "no --key given: anyone can make a key; compare the key SHA-256 with the one your "
           "organisation published");
    } else if (spki == signer_->spki) {
      Pass("signing key", signer_->name);
    } else {
      Fail("signing key", "signed with key SHA-256 " + WideToUtf8(LowerHexSha256(spki)) +
                              ", not with " + signer_->name + " (SHA-256 " +
                              WideToUtf8(LowerHexSha256(signer_->spki)) + ")");
    }
  }

  static std::span<const uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
  }

  const ReportSetContents& set_;
  const std::optional<ExpectedSigner>& signer_;
  std::vector<SetCheck> checks_;
  ReportData report_;
  ReportSignature signature_;
  double jsonElapsed_ = 0.0;
};

}  // namespace

const wchar_t* SetFileSuffix(SetFile file) {
  switch (file) {
    case SetFile::Certificate:
      return kCertificateSuffix;
    case SetFile::AuditLog:
      return kAuditLogSuffix;
    case SetFile::JsonReport:
      return kJsonReportSuffix;
    case SetFile::Signature:
    default:
      return kSignatureSuffix;
  }
}

std::vector<SetCheck> CheckReportSet(const ReportSetContents& set,
                                     const std::optional<ExpectedSigner>& signer) {
  return SetChecker(set, signer).Run();
}

std::optional<ReportData> ReadRecordedJob(const ReportSetContents& set) {
  const auto& json = set.files[static_cast<size_t>(SetFile::JsonReport)];
  const auto& html = set.files[static_cast<size_t>(SetFile::Certificate)];
  ReportData report;
  std::string error;
  if (!json || !html || !ReadJsonReport(*json, report, error) ||
      !ReadCertificateOnlyFields(*html, report, error)) {
    return std::nullopt;
  }
  return report;
}

bool SetVerified(const std::vector<SetCheck>& checks) {
  for (const SetCheck& check : checks) {
    if (check.state == CheckState::Failed) return false;
  }
  return true;
}

}  // namespace tvde
