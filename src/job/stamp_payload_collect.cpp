// The payload builder that collects the hardware profile itself; kept apart so that code which
// passes its own profile links without the hardware collector.
#include "job/stamp_payload_builder.h"

namespace tvde {

StampPayload BuildStampPayload(const ReportData& result) {
  return BuildStampPayload(result, CollectHardwareProfile(result.config.disk));
}

}  // namespace tvde
