// Detection with the running machine's hardware profile; kept apart so that code which passes
// its own profile links without the hardware collector.
#include "stamp/stamp_detect.h"

namespace tvde {

StampPayload DetectDiskStamp(const DiskInfo& disk) {
  return DetectDiskStamp(disk, CollectHardwareProfile(disk));
}

}  // namespace tvde
