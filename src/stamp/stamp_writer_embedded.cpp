// The stamp writers with the boot programs embedded in this build; kept apart so that code
// which supplies its own programs links without them.
#include "stamp/stamp_writer.h"

namespace tvde {

bool WriteStampImage(Device& device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log) {
  return WriteStampImage(device, bytesPerSector, payload, log, EmbeddedBootPrograms());
}

bool WriteStampImage(Device* device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log) {
  if (device == nullptr) return false;
  return WriteStampImage(*device, bytesPerSector, payload, log);
}

bool WriteDiskStamp(const DiskInfo& disk, const StampPayload& payload, const LogCallback& log) {
  return WriteDiskStamp(disk, payload, log, EmbeddedBootPrograms());
}

}  // namespace tvde
