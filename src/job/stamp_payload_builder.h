#pragma once
// Builds the stamp payload of a finished erase job.

#include "hardware/hardware_profile.h"
#include "report/report_data.h"
#include "stamp/stamp_payload.h"

namespace tvde {

// Collects the hardware profile of the running machine for the job's disk.
StampPayload BuildStampPayload(const ReportData& result);

// Same, with a profile the caller has already collected.
StampPayload BuildStampPayload(const ReportData& result, const HardwareProfile& hardware);

}  // namespace tvde
