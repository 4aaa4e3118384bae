// Portable parts of the device layer.
#include "base/device.h"

namespace tvde {

bool IsSectorAligned(uint64_t offset, size_t length, const void* address, uint32_t sectorSize) {
  const uint64_t sector = sectorSize == 0 ? 512 : sectorSize;
  return offset % sector == 0 && length % sector == 0 &&
         reinterpret_cast<uintptr_t>(address) % sector == 0;
}

}  // namespace tvde
