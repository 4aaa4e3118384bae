#pragma once
// The TXT audit log: a fixed 34-line plain-text summary of one job, CRLF line ends; a real job
// that sent the TRIM notice has one more line, its outcome, after the stamp status.

#include <string>

#include "report/report_data.h"

namespace tvde {

std::wstring BuildAuditLogText(const ReportData& report);

}  // namespace tvde
