#pragma once
// Reads the StampRecord back from LBA 1 of a disk into a payload.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/device.h"
#include "disk/disk_info.h"
#include "hardware/hardware_profile.h"
#include "stamp/stamp_payload.h"

namespace tvde {

inline constexpr size_t kDetectReadBytes = 2560;    // LBA 0..4 in 512-byte sectors
inline constexpr size_t kDetectMinimumRead = 1024;  // LBA 0 and at least LBA 1

// ceil(2560 / S) x S with S = max(512, bytesPerSector).
size_t DetectReadLength(uint32_t bytesPerSector);

// The payload read from the disk (incomplete = 0), or the pre-filled payload with the disk's
// own model, serial and capacity and the running machine's hardware (incomplete = 1) when no
// stamp is found or the disk cannot be read. Never fails loudly.
StampPayload DetectDiskStamp(const DiskInfo& disk);
// Same, with the running machine's hardware profile already collected.
StampPayload DetectDiskStamp(const DiskInfo& disk, const HardwareProfile& localProfile);

// Reads the record from the start of an open device (sector-aligned, as the device wants it)
// into `payload`. False, with the payload unchanged, when the read fails or finds no record.
bool ReadStampRecord(Device& device, uint32_t bytesPerSector, StampPayload& payload);

// Applies one record text (as read from byte 512 up to its first zero). False, with the payload
// unchanged, when the text does not begin with a known tag or has fewer than 12 fields.
bool ApplyStampRecord(std::string_view text, StampPayload& payload);

// C-library decimal reading: leading white space, an optional sign, digits up to the first
// non-digit; 0 when no digit follows. Saturates at the int32 limits instead of overflowing.
int32_t ParseCDecimal(std::string_view text);

}  // namespace tvde
