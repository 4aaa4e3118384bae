// Completing a job's record and writing its three report files.
#include "report/report_output.h"

#include <algorithm>

#include "base/file_system.h"
#include "base/host_environment.h"
#include "report/audit_log_text.h"
#include "report/html_certificate.h"
#include "report/json_report.h"
#include "report/report_fingerprint.h"
#include "report/report_identity.h"
#include "report/utf8_file.h"
#include "stamp/stamp_payload_builder.h"

namespace tvde {
namespace {

// The UTF-8 conversion ends at the first zero character; a stray zero typed into a value must
// not silently cut the rest of a certificate off.
std::wstring WithoutZeroCharacters(std::wstring text) {
  std::replace(text.begin(), text.end(), L'\0', L'\uFFFD');
  return text;
}

}  // namespace

std::wstring ReportOutputFolder(const EraseJobConfig& config) {
  if (!config.outputFolder.empty()) return config.outputFolder;
  const std::wstring modulePath = ProgramModulePath();
  if (modulePath.find_last_of(L"\\/") == std::wstring::npos) return L"Certificates";
  return JoinPath(DirectoryOfPath(modulePath), L"Certificates");
}

bool SaveReports(ReportData& report) {
  if (report.certificateId.empty()) report.certificateId = MakeCertificateId();
  report.sha256Fingerprint = ComputeReportFingerprint(report);
  report.stamp = BuildStampPayload(report);

  report.htmlPath.clear();
  report.txtPath.clear();
  report.jsonPath.clear();
  if (report.config.logOutputDisabled == 1) return true;

  const std::wstring folder = ReportOutputFolder(report.config);
  CreateFolderTree(folder);  // a folder that cannot be made shows as failed file writes below

  const std::wstring htmlPath = JoinPath(folder, report.certificateId + kCertificateSuffix);
  const std::wstring txtPath = JoinPath(folder, report.certificateId + kAuditLogSuffix);
  const std::wstring jsonPath = JoinPath(folder, report.certificateId + kJsonReportSuffix);

  // All three are attempted even when an earlier one fails.
  const bool htmlWritten =
      WriteUtf8File(htmlPath, WithoutZeroCharacters(BuildHtmlCertificate(report)));
  const bool txtWritten = WriteUtf8File(txtPath, WithoutZeroCharacters(BuildAuditLogText(report)));
  const bool jsonWritten = WriteUtf8File(jsonPath, BuildJsonReport(report));
  if (!(htmlWritten && txtWritten && jsonWritten)) return false;

  report.htmlPath = htmlPath;
  report.txtPath = txtPath;
  report.jsonPath = jsonPath;
  return true;
}

}  // namespace tvde
