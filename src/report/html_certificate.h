#pragma once
// The HTML certificate: a self-contained 74-line page with inline style sheet, LF line ends; a
// real job that read the disk back has one more row, the verification scope, after the verdict.

#include <string>

#include "report/report_data.h"

namespace tvde {

std::wstring BuildHtmlCertificate(const ReportData& report);

// The text with &, <, >, " and ' replaced by entities, so that it shows as typed.
std::wstring EscapeHtml(const std::wstring& text);

}  // namespace tvde
