#pragma once
// The report files read back into a record, for checking a report set. Each reader takes what
// it needs from its file; whether the file is exactly what the program writes for that record
// is answered by writing the record out again and comparing (see FirstDifferentLine).

#include <string>
#include <string_view>
#include <vector>

#include "report/report_data.h"

namespace tvde {

// Every field the JSON report carries: identity, times, names, execution mode, hardware,
// standard, passes, verdicts and fingerprint. False, with the reason, when a member is missing
// or has a value no record could give (an unknown standard, a passes count that is no number).
bool ReadJsonReport(std::string_view utf8, ReportData& report, std::string& error);

// The fields only the HTML certificate prints, added to `report` (read from the JSON report
// first): the status code from the badge (3, 4, or 5 for every failure), the notes, the WinPE
// flag and the elapsed seconds.
bool ReadCertificateOnlyFields(std::string_view utf8, ReportData& report, std::string& error);

// The target disk's model, serial number and size in bytes as the hardware profile's "disk"
// ("<size> <media>, Model: M, Serial: S") and "diskGeometry" ("... / N Sector(s), Sector size:
// B B") texts give them. The disk text does not mark where a model that itself holds
// ", Serial: " ends, so every possible reading is returned; none when the texts lack that shape.
std::vector<DiskInfo> TargetDiskReadings(const HardwareProfile& hardware);

// The 1-based number of the first line where the two texts differ and both lines; 0 when equal.
struct LineDifference {
  size_t line = 0;
  std::string actual;
  std::string expected;
};
LineDifference FirstDifferentLine(std::string_view actual, std::string_view expected);

// The report text as the report writer puts it into its file (UTF-8, unencodable characters
// replaced).
std::string ReportFileBytes(const std::wstring& text);

}  // namespace tvde
