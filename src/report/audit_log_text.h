#pragma once
// The TXT audit log: a fixed 34-line plain-text summary of one job, CRLF line ends; a real job
// that read the disk back has one more line, the verification scope, after the verification
// result, and one that sent the TRIM notice one more, its outcome, after the stamp status.

#include <string>

#include "report/report_data.h"

namespace tvde {

std::wstring BuildAuditLogText(const ReportData& report);

}  // namespace tvde
