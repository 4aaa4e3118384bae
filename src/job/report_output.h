#pragma once
// Certificate output: completes a finished job's record and writes the HTML certificate, the
// TXT audit log and the JSON report into one folder.

#include <string>
#include <vector>

#include "report/report_data.h"
#include "report/report_file_names.h"

namespace tvde {

// Gives the record a certificate ID when it has none, recomputes its fingerprint and rebuilds
// its stamp payload (with a freshly collected hardware profile), then writes the three files
// unless report output is disabled. Each file is written under a temporary name, flushed to
// the disk and renamed into place, so no report file is ever left half written. True when all
// three were written (or output is disabled). Each path field holds the path of a file this
// call wrote and is empty for a file it could not write. When the request names a signing key
// the written set is also signed; a missing signature does not make the answer false:
// signatureError says why it is missing.
bool SaveReports(ReportData& report);

// The file names of the three reports that the record does not name as written.
std::vector<std::wstring> MissingReportFiles(const ReportData& report);

// Why reports cannot go into `folder` as named: it is not an absolute path (it would depend on
// the current folder), or it lies on a device or virtual file system. Empty when they can.
std::wstring ReportFolderProblem(const std::wstring& folder);

// Creates the folder SaveReports will write into and proves that a file can be created,
// written and flushed there (the write-test file, removed again); a folder with a problem is
// neither made nor written. `folder` is set to the folder checked.
bool PrepareReportFolder(const EraseJobConfig& config, std::wstring& folder);

// The folder SaveReports writes into: the request's output folder, else "Certificates" beside
// the program.
std::wstring ReportOutputFolder(const EraseJobConfig& config);
// Same, for the program at `modulePath`: a bare file name gives the relative "Certificates".
std::wstring ReportOutputFolderFor(const EraseJobConfig& config, const std::wstring& modulePath);

}  // namespace tvde
