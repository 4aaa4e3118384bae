#pragma once
// A fully populated report record shared by the format tests, the golden files and the
// sample writer.

#include "report/report_data.h"

namespace tvde::testing {

// Real WinPE job, DoD 3-pass, completed and verified, Japanese operator texts.
ReportData SampleReport();

}  // namespace tvde::testing
