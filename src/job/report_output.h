#pragma once
// Certificate output: completes a finished job's record and writes the HTML certificate, the
// TXT audit log and the JSON report into one folder.

#include <string>

#include "report/report_data.h"
#include "report/report_file_names.h"

namespace tvde {

// Gives the record a certificate ID when it has none, recomputes its fingerprint and rebuilds
// its stamp payload (with a freshly collected hardware profile), then writes the three files
// unless report output is disabled, and signs them when the request names a signing key. True
// when all three were written (or output is disabled); the record's three paths are set only
// then and emptied otherwise. A missing signature does not make it false: signatureError says
// why it is missing.
bool SaveReports(ReportData& report);

// The folder SaveReports writes into: the request's output folder, else "Certificates" beside
// the program.
std::wstring ReportOutputFolder(const EraseJobConfig& config);
// Same, for the program at `modulePath`: a bare file name gives the relative "Certificates".
std::wstring ReportOutputFolderFor(const EraseJobConfig& config, const std::wstring& modulePath);

}  // namespace tvde
