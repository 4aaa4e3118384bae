#pragma once
// Device requests around the overwrite passes: the whole-disk TRIM notice before them and
// the MBR and primary/backup GPT wipe after them. Both are best effort: they log what
// happened and never stop the job.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/device.h"
#include "base/log_callback.h"

namespace tvde {

inline constexpr size_t kPartitionWipeBytes = size_t{1024} * 1024;

// Asks the device to discard [0, sizeBytes) and logs whether it accepted.
void SendTrimForWholeDisk(Device& disk, uint64_t sizeBytes, const LogCallback& log);

// Deletes the drive layout, zeroes the first MiB and (on disks above 2 MiB) the last whole
// sectors' MiB, flushes and asks the system to re-read the now empty layout.
void WipePartitionTables(Device& disk, uint64_t sizeBytes, uint32_t sectorSize,
                         const LogCallback& log);

// Start of the wipe at the end of the disk: the largest multiple of the sector size not above
// sizeBytes - 1 MiB; nothing for a disk of at most 2 MiB.
std::optional<uint64_t> BackupWipeOffset(uint64_t sizeBytes, uint32_t sectorSize);

}  // namespace tvde
