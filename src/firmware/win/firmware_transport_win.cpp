// Windows firmware transport: the real DeviceIoControl behind the seam, the request layouts
// checked against the SDK's structures, and the Windows build the platform rules depend on.
#include <windows.h>

#include <ntddscsi.h>
#include <winioctl.h>

#include <cstddef>

#include "base/host_environment.h"
#include "base/win/device_control_win.h"
#include "base/win/system_library.h"
#include "firmware/firmware_open.h"
#include "firmware/windows_requests.h"
#include "firmware/windows_transport.h"

namespace tvde {
namespace {

using namespace winreq;

// The portable layouts are the SDK's.
static_assert(kQueryProperty == IOCTL_STORAGE_QUERY_PROPERTY);
static_assert(kProtocolCommand == IOCTL_STORAGE_PROTOCOL_COMMAND);
static_assert(kReinitializeMedia == IOCTL_STORAGE_REINITIALIZE_MEDIA);
static_assert(kAtaPassThrough == IOCTL_ATA_PASS_THROUGH);
static_assert(kScsiPassThroughDirect == IOCTL_SCSI_PASS_THROUGH_DIRECT);
static_assert(kAdapterProtocolSpecificProperty == StorageAdapterProtocolSpecificProperty);
static_assert(kDeviceProtocolSpecificProperty == StorageDeviceProtocolSpecificProperty);
static_assert(kProtocolTypeNvme == ProtocolTypeNvme && kProtocolTypeAta == ProtocolTypeAta);
static_assert(kNvmeDataTypeIdentify == NVMeDataTypeIdentify);
static_assert(kNvmeDataTypeLogPage == NVMeDataTypeLogPage);
static_assert(kAtaDataTypeIdentify == AtaDataTypeIdentify);
static_assert(kProtocolDataBytes == sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA));
static_assert(offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters) == 8);
static_assert(offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData) == 8);
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataOffset) == 16);
static_assert(kAtaPassThroughBytes == sizeof(ATA_PASS_THROUGH_EX));
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset) == kApDataOffset);
static_assert(offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile) == kApPrevious);
static_assert(offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile) == kApCurrent);
static_assert(kScsiPassThroughBytes == sizeof(SCSI_PASS_THROUGH_DIRECT));
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == kSpDataBuffer);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == kSpSenseOffset);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == kSpCdb);

WindowsDeviceControl ControlOf(HANDLE handle) {
  return [handle](uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                  uint32_t& returned) -> uint32_t {
    DWORD bytes = 0;
    if (!DeviceIoControl(handle, code, const_cast<uint8_t*>(in.data()),
                         static_cast<DWORD>(in.size()), out.data(), static_cast<DWORD>(out.size()),
                         &bytes, nullptr)) {
      return GetLastError();
    }
    returned = bytes;
    return 0;
  };
}

// The build as the kernel reports it (GetVersionEx answers for the manifest, not the system).
uint32_t WindowsBuild() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  const SystemLibrary ntdll(L"ntdll.dll");
  const auto getVersion = ntdll.Find<RtlGetVersionFn>("RtlGetVersion");
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (getVersion == nullptr || getVersion(&info) != 0) return 0;
  return info.dwBuildNumber;
}

WindowsTransportSetup Setup(HANDLE handle, uint32_t access, const FirmwareTarget& target) {
  WindowsTransportSetup setup;
  setup.control = ControlOf(handle);
  setup.grantedAccess = access;
  setup.kind = target.busHint;
  setup.rules = {true, target.isWinPE, WindowsBuild()};
  if (setup.kind == PassThroughKind::None) {
    setup.unavailable = L"the disk's bus passes no commands to the drive";
  }
  return setup;
}

}  // namespace

std::unique_ptr<FirmwareTransport> OpenFirmwareTransport(Device& device,
                                                         const FirmwareTarget& target) {
  const std::optional<intptr_t> handle = device.NativeHandle();
  WindowsTransportSetup setup =
      Setup(handle ? reinterpret_cast<HANDLE>(*handle) : INVALID_HANDLE_VALUE,
            kReadAccess | kWriteAccess, target);
  // An image file (or, under Wine, anything) has no drive behind it.
  if (!handle || !IsRawDevicePath(target.devicePath) || IsRunningUnderWine()) {
    setup.kind = PassThroughKind::None;
    setup.unavailable = L"an image file has no drive firmware";
  }
  return MakeWindowsTransport(std::move(setup));
}

FirmwareCapabilities DiscoverDiskFirmware(const FirmwareTarget& target) {
  // Under Wine a device path reaches one of the host's disks: it is never opened.
  if (IsRunningUnderWine() || !IsRawDevicePath(target.devicePath)) {
    FirmwareCapabilities caps;
    caps.checked = true;
    caps.unavailable = L"not a physical disk of this Windows";
    return caps;
  }
  const AccessHandle disk =
      OpenWithAccess(target.devicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  WindowsTransportSetup setup = Setup(disk.handle.get(), 0, target);
  // The program's one way to send a control code, with the access the handle was opened with.
  setup.control = [&disk](uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                          uint32_t& returned) -> uint32_t {
    DWORD bytes = 0;
    if (!ControlDevice(disk, code, in, out, bytes)) return GetLastError();
    returned = bytes;
    return 0;
  };
  if (!disk.valid()) {
    setup.kind = PassThroughKind::None;
    setup.unavailable = L"the disk cannot be opened for questions";
  }
  const std::unique_ptr<FirmwareTransport> transport = MakeWindowsTransport(std::move(setup));
  return DiscoverFirmwareCapabilities(*transport);
}

}  // namespace tvde
