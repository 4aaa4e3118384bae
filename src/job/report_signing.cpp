// The signature of a report set: read the key, hash the files as written, sign the manifest.
#include "job/report_signing.h"

#include "base/ecdsa_p256.h"
#include "base/file_system.h"
#include "base/pem.h"
#include "base/text.h"
#include "job/report_output.h"
#include "report/report_file_names.h"
#include "report/report_signature.h"
#include "report/utf8_file.h"

namespace tvde {
namespace {

std::span<const uint8_t> AsBytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

bool ReadFileFor(const char* what, const std::wstring& path, size_t limit, std::string& bytes,
                 std::string& error) {
  switch (ReadRegularFile(path, limit, bytes)) {
    case FileReadResult::Read:
      return true;
    case FileReadResult::Missing:
      error = std::string(what) + " " + WideToUtf8(path) + " does not exist";
      return false;
    case FileReadResult::TooLarge:
      error = std::string(what) + " " + WideToUtf8(path) + " is too large";
      return false;
    case FileReadResult::NotARegularFile:
      error = std::string(what) + " " + WideToUtf8(path) + " is not a regular file";
      return false;
    case FileReadResult::Failed:
    default:
      error = std::string(what) + " " + WideToUtf8(path) + " cannot be read";
      return false;
  }
}

bool SignFiles(const ReportData& report, const std::wstring& signaturePath, std::string& error) {
  std::string keyPem;
  if (!ReadFileFor("the signing key file", report.config.signingKeyFile, kMaxKeyFileBytes, keyPem,
                   error)) {
    return false;
  }
  // The files as they are on disk, which is what a verifier will hash.
  std::array<std::string, 3> contents;
  const std::array<const std::wstring*, 3> paths = {&report.htmlPath, &report.txtPath,
                                                    &report.jsonPath};
  for (size_t i = 0; i < paths.size(); ++i) {
    if (!ReadFileFor("the report", *paths[i], kMaxReportSetFileBytes, contents[i], error)) {
      return false;
    }
  }
  std::string fileText;
  if (!BuildReportSignature(report.certificateId, contents, keyPem, fileText, error)) return false;
  if (!WriteUtf8File(signaturePath, Utf8ToWide(fileText))) {
    error = "the signature file " + WideToUtf8(signaturePath) + " cannot be written";
    return false;
  }
  return true;
}

}  // namespace

bool BuildReportSignature(const std::wstring& certificateId,
                          const std::array<std::string, 3>& contents,
                          std::string_view privateKeyPem, std::string& fileText,
                          std::string& error) {
  std::vector<uint8_t> spki;
  if (!PublicKeyOfPrivateKey(privateKeyPem, spki, error)) {
    error = "the signing key cannot be used: " + error;
    return false;
  }
  ReportSignature signature;
  signature.certificateId = certificateId;
  signature.publicKeyPem = Utf8ToWide(EncodePem(kPublicKeyPemLabel, spki));
  signature.publicKeySha256 = LowerHexSha256(spki);
  const std::array<const wchar_t*, 3> suffixes = {kCertificateSuffix, kAuditLogSuffix,
                                                  kJsonReportSuffix};
  for (size_t i = 0; i < contents.size(); ++i) {
    signature.files[i] = {certificateId + suffixes[i], LowerHexSha256(contents[i])};
  }
  const std::string manifest = BuildSignatureManifest(signature);
  std::vector<uint8_t> der;
  if (!SignEcdsaP256Sha256(privateKeyPem, AsBytes(manifest), der, error)) {
    error = "the signing key cannot be used: " + error;
    return false;
  }
  // A key file whose public half does not belong to its private half signs what no one can
  // verify; better no signature than one that fails every check.
  if (!VerifyEcdsaP256Sha256(spki, AsBytes(manifest), der)) {
    error = "the signing key's public half does not match its private half";
    return false;
  }
  signature.signature = AsciiToWide(Base64Encode(der));
  fileText = BuildSignatureFile(signature);
  return true;
}

void SignSavedReports(ReportData& report) {
  report.signaturePath.clear();
  report.signatureError.clear();
  if (report.config.signingKeyFile.empty() || report.config.logOutputDisabled == 1) return;
  const std::wstring path =
      JoinPath(ReportOutputFolder(report.config), report.certificateId + kSignatureSuffix);
  std::string error;
  if (report.htmlPath.empty() || report.txtPath.empty() || report.jsonPath.empty()) {
    error = "not all three reports were written";
  } else if (SignFiles(report, path, error)) {
    report.signaturePath = path;
    return;
  }
  report.signatureError = Utf8ToWide(error);
  RemoveFile(path);  // a signature from an earlier save no longer fits these files
}

}  // namespace tvde
