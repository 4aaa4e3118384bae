// Collection of the hardware profile: gather the machine's facts, then compose the texts.
#include "hardware/hardware_profile.h"

#include "hardware/hardware_compose.h"
#include "hardware/hardware_facts.h"

namespace tvde {

HardwareProfile CollectHardwareProfile(const DiskInfo& disk) {
  return ComposeHardwareProfile(GatherHardwareFacts(), disk);
}

}  // namespace tvde
