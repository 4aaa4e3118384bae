#pragma once
// A fully populated report record shared by the format tests, the golden files and the
// sample writer, plus access to the hand-written golden files.

#include <string>
#include <vector>

#include "report/report_data.h"

namespace tvde::testing {

// Real WinPE job, DoD 3-pass, completed and verified, Japanese operator texts.
ReportData SampleReport();

// Bytes of tests/report/golden/<name>, copied next to the test executable by the build.
std::string ReadGolden(const std::string& name);

// The text split after every occurrence of `eol` (the last piece may lack it).
std::vector<std::string> SplitLines(const std::string& text, const std::string& eol);

}  // namespace tvde::testing
