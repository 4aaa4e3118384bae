#pragma once
// The JSON report: one object with fixed key order, LF line ends, two-space indentation; a real
// job that read the disk back has one more member in "sanitization", "verificationScope", after
// "verificationResult", and one that sent the TRIM notice "trimNotice" before the fingerprint.

#include <string>

#include "report/report_data.h"

namespace tvde {

std::wstring BuildJsonReport(const ReportData& report);

// The text with the standard JSON escapes: quotation mark, backslash and every control
// character; other characters (Japanese included) stay as they are.
std::wstring EscapeJsonString(const std::wstring& text);

// General floating-point form with 6 significant digits ("%g"), with a two-digit minimum
// exponent on every platform; null for values JSON cannot represent.
std::wstring FormatJsonNumber(double value);

}  // namespace tvde
