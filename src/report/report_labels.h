#pragma once
// Texts that several report formats share: product name, status badge, execution-mode and
// environment labels, elapsed time and standard name.

#include <cstdint>
#include <string>
#include <utility>

#include "erase/erase_job.h"
#include "report/report_data.h"

namespace tvde {

// "Toreval Disk Eraser Suite v1.3.0" (TXT, HTML and the stamp).
std::wstring ProductSuiteText();
// "Toreval Disk Eraser v1.3.0" (JSON).
std::wstring ProductVersionText();

// Badge text and CSS colour: 3 completed, 4 cancelled, anything else failed.
std::pair<std::wstring, std::wstring> StatusBadge(int32_t statusCode);
// Same for a job's record, the one mapping of a job's facts to its status words (certificate,
// console summary, the report sets read back): a completed simulation is called one that
// erased nothing, one that left sectors of a DCO restriction unwritten says so, and a completed
// job that was told not to verify is not called verified. Only a verified erasure is green.
std::pair<std::wstring, std::wstring> StatusBadge(const ReportData& report);

// Whether the record is of a completed real erasure of every sector whose verification ran and
// passed.
bool RecordsVerifiedErasure(const ReportData& report);

// Any non-zero execution mode counts as a real hardware write.
std::wstring ExecutionModeHtmlLabel(ExecutionMode mode);
std::wstring ExecutionModeTxtLabel(ExecutionMode mode);
std::wstring ExecutionModeJsonLabel(ExecutionMode mode);

// The WinPE label only for exactly 1; otherwise the host system a job recorded, or the
// workstation label when it recorded none.
std::wstring EnvironmentLabel(int32_t isWinPE, const std::wstring& hostSystem = {});

// "%.2f 秒".
std::wstring ElapsedText(double elapsedSeconds);

// Display label of the record's erase standard.
std::wstring ReportStandardName(const ReportData& report);

}  // namespace tvde
