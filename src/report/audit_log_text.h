#pragma once
// The TXT audit log: a fixed 34-line plain-text summary of one job, CRLF line ends.

#include <string>

#include "report/report_data.h"

namespace tvde {

std::wstring BuildAuditLogText(const ReportData& report);

}  // namespace tvde
