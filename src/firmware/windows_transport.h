#pragma once
// The Windows firmware transport over one seam, a DeviceIoControl call. NVMe Identify and log
// pages and ATA IDENTIFY go through IOCTL_STORAGE_QUERY_PROPERTY (any access); other NVMe admin
// commands through IOCTL_STORAGE_PROTOCOL_COMMAND, ATA through IOCTL_ATA_PASS_THROUGH, SCSI
// through IOCTL_SCSI_PASS_THROUGH_DIRECT, and the driver's own erase through
// IOCTL_STORAGE_REINITIALIZE_MEDIA. The access rule of the I/O manager is applied here, before
// the call, so that tests meet the same refusal a real handle does.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "firmware/firmware_transport.h"

namespace tvde {

// One DeviceIoControl call (METHOD_BUFFERED; `in` and `out` may be the same bytes): answers
// the Windows error code, 0 on success, and sets the bytes returned.
using WindowsDeviceControl = std::function<uint32_t(uint32_t code, std::span<const uint8_t> in,
                                                    std::span<uint8_t> out, uint32_t& returned)>;

struct WindowsTransportSetup {
  WindowsDeviceControl control;
  uint32_t grantedAccess = 0;  // winreq::kReadAccess | winreq::kWriteAccess of the handle
  PassThroughKind kind = PassThroughKind::None;
  PlatformRules rules;
  std::wstring unavailable;
};

std::unique_ptr<FirmwareTransport> MakeWindowsTransport(WindowsTransportSetup setup);

// Windows error codes the transport tells apart.
inline constexpr uint32_t kWinErrorInvalidFunction = 1;
inline constexpr uint32_t kWinErrorAccessDenied = 5;
inline constexpr uint32_t kWinErrorNotSupported = 50;
inline constexpr uint32_t kWinErrorInvalidParameter = 87;
inline constexpr uint32_t kWinErrorIoDevice = 1117;

}  // namespace tvde
