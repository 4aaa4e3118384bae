// Collection of the hardware profile: gather the machine's facts, then compose the texts.
#include "report/hardware_profile.h"

#include "report/hardware_compose.h"
#include "report/hardware_facts.h"

namespace tvde {

HardwareProfile CollectHardwareProfile(const DiskInfo& disk) {
  return ComposeHardwareProfile(GatherHardwareFacts(), disk);
}

}  // namespace tvde
