#pragma once
// Device requests around the overwrite passes: the whole-disk TRIM notice before them and
// the MBR and primary/backup GPT wipe after them. Both are best effort: they log what
// happened and never stop the job.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/device.h"
#include "base/log_callback.h"

namespace tvde {

inline constexpr size_t kPartitionWipeBytes = size_t{1024} * 1024;

// The TRIM outcome a job records (empty when it sent none). Windows does not take the
// data-set-management TRIM from programs on most disks, so a refusal is the usual answer and
// is never reported as done.
inline constexpr const wchar_t* kTrimAccepted =
    L"ACCEPTED (Whole-Disk TRIM/Deallocate Notice Accepted by the Device)";
inline constexpr const wchar_t* kTrimRefused =
    L"NOT PERFORMED (TRIM/Deallocate Notice Refused - Overwrite Passes Only)";

// Asks the device to discard [0, sizeBytes), logs whether it accepted (with the system's
// reason when not) and answers kTrimAccepted or kTrimRefused.
std::wstring SendTrimForWholeDisk(Device& disk, uint64_t sizeBytes, const LogCallback& log);

// Deletes the drive layout, zeroes the first MiB and (on disks above 2 MiB) the last whole
// sectors' MiB, flushes and asks the system to re-read the now empty layout. Returns the ranges
// the device took the zeroes for (a failed write is not among them), which a read-back then
// expects to hold zeroes instead of the last pass's data.
std::vector<ByteRange> WipePartitionTables(Device& disk, uint64_t sizeBytes, uint32_t sectorSize,
                                           const LogCallback& log);

// Start of the wipe at the end of the disk: the largest multiple of the sector size not above
// sizeBytes - 1 MiB; nothing for a disk of at most 2 MiB.
std::optional<uint64_t> BackupWipeOffset(uint64_t sizeBytes, uint32_t sectorSize);

}  // namespace tvde
