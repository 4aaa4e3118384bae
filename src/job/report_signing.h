#pragma once
// Signing of a saved report set: when the request names a signing key, the signature file
// "<certificate ID>_Signature.json" is written beside the three reports.

#include <array>
#include <string>
#include <string_view>

#include "report/report_data.h"

namespace tvde {

// After SaveReports wrote the report files (the paths of those written are in the record):
// does nothing unless config.signingKeyFile is set; then signs the three files as they are on
// disk and sets signaturePath, or, when a report is missing or the key cannot be read or used,
// sets signatureError, removes a signature file left from an earlier save and leaves the
// reports unsigned.
void SignSavedReports(ReportData& report);

// The signature file's text for the report files' contents (certificate, audit log, JSON
// report), signed with the PEM private key.
bool BuildReportSignature(const std::wstring& certificateId,
                          const std::array<std::string, 3>& contents,
                          std::string_view privateKeyPem, std::string& fileText,
                          std::string& error);

}  // namespace tvde
