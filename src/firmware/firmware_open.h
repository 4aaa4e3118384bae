#pragma once
// The firmware transport of a disk: through the handle a job already holds, or opened for the
// questions of a list. One implementation per OS.

#include <memory>
#include <string>

#include "base/device.h"
#include "firmware/firmware_capabilities.h"

namespace tvde {

// How the disk's bus reaches its firmware, as the disk list tells it: Linux decides by the
// kernel's device name instead and ignores the hint.
struct FirmwareTarget {
  std::wstring devicePath;
  PassThroughKind busHint = PassThroughKind::None;
  bool isWinPE = false;
};

// Borrows the open handle of `device` (which must outlive the transport). The handle was opened
// for reading and writing; on Linux an ATA drive behind libata is then switched to descriptor
// sense data (a volatile mode setting) so that failed commands return their registers.
std::unique_ptr<FirmwareTransport> OpenFirmwareTransport(Device& device,
                                                         const FirmwareTarget& target);

// Opens the disk only for questions (Linux: read-only; Windows: no access rights, so that only
// the "any access" protocol queries pass) and discovers its capabilities.
FirmwareCapabilities DiscoverDiskFirmware(const FirmwareTarget& target);

}  // namespace tvde
