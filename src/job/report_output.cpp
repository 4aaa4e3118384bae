// Completing a job's record and writing its three report files.
#include "job/report_output.h"

#include "base/file_system.h"
#include "base/host_environment.h"
#include "base/text.h"
#include "base/unfinished_files.h"
#include "disk/working_paths.h"
#include "job/report_signing.h"
#include "job/stamp_payload_builder.h"
#include "report/audit_log_text.h"
#include "report/html_certificate.h"
#include "report/json_report.h"
#include "report/report_fingerprint.h"
#include "report/report_identity.h"
#include "report/utf8_file.h"

namespace tvde {

std::wstring ReportOutputFolder(const EraseJobConfig& config) {
  return ReportOutputFolderFor(config, ProgramModulePath());
}

std::wstring ReportOutputFolderFor(const EraseJobConfig& config, const std::wstring& modulePath) {
  if (!config.outputFolder.empty()) return config.outputFolder;
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
  report.signaturePath.clear();
  report.signatureError.clear();
  if (report.config.logOutputDisabled == 1) return true;

  const std::wstring folder = ReportOutputFolder(report.config);
  CreateFolderTree(folder);  // a folder that cannot be made shows as failed file writes below
  // Until the set is done, a hard stop of the program removes every file of it.
  std::vector<std::wstring> unfinished;
  for (const wchar_t* suffix :
       {kCertificateSuffix, kAuditLogSuffix, kJsonReportSuffix, kSignatureSuffix}) {
    unfinished.push_back(JoinPath(folder, report.certificateId + suffix));
    unfinished.push_back(unfinished.back() + L".tmp");
  }
  const UnfinishedFiles guard(unfinished);

  // All three are attempted even when an earlier one fails. A stray zero character or a broken
  // surrogate in a value must neither cut a certificate short nor cost all three files.
  const auto write = [&](const wchar_t* suffix, const std::wstring& text, std::wstring& path) {
    const std::wstring file = JoinPath(folder, report.certificateId + suffix);
    if (!WriteUtf8File(file, ReplaceUnencodable(text))) return false;
    path = file;
    return true;
  };
  const bool htmlWritten = write(kCertificateSuffix, BuildHtmlCertificate(report), report.htmlPath);
  const bool txtWritten = write(kAuditLogSuffix, BuildAuditLogText(report), report.txtPath);
  const bool jsonWritten = write(kJsonReportSuffix, BuildJsonReport(report), report.jsonPath);
  SignSavedReports(report);  // a signature that cannot be made leaves the reports unsigned
  return htmlWritten && txtWritten && jsonWritten;
}

std::vector<std::wstring> MissingReportFiles(const ReportData& report) {
  std::vector<std::wstring> missing;
  if (report.config.logOutputDisabled == 1) return missing;
  if (report.htmlPath.empty()) missing.push_back(report.certificateId + kCertificateSuffix);
  if (report.txtPath.empty()) missing.push_back(report.certificateId + kAuditLogSuffix);
  if (report.jsonPath.empty()) missing.push_back(report.certificateId + kJsonReportSuffix);
  return missing;
}

std::wstring ReportFolderProblem(const std::wstring& folder) {
  const bool absolute = kPathSeparator == L'/' ? folder.starts_with(L'/')
                                               : folder.starts_with(L"\\\\") ||
                                                     (folder.size() >= 3 && folder[1] == L':' &&
                                                      (folder[2] == L'\\' || folder[2] == L'/'));
  if (!absolute) return L"is not an absolute path (it would depend on the current folder)";
  const std::wstring special = SpecialFileSystemOf(folder);
  return special.empty() ? std::wstring() : L"holds no files: it is " + special;
}

bool PrepareReportFolder(const EraseJobConfig& config, std::wstring& folder) {
  folder = ReportOutputFolder(config);
  return ReportFolderProblem(folder).empty() && CreateFolderTree(folder) &&
         CanWriteInFolder(folder);
}

}  // namespace tvde
