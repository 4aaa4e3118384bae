#pragma once
// Pure helpers of the lettered-volume lock: drive-string lists, volume disk-extent buffers and
// volume paths, kept apart from the Win32 calls so that both builds test them.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tvde {

struct DiskExtent {
  uint32_t diskNumber = 0;
  uint64_t startingOffset = 0;
  uint64_t extentLength = 0;
};

// Splits a GetLogicalDriveStringsW list ("C:\<0>D:\<0><0>") into its roots; `chars` is the
// length the call reported.
std::vector<std::wstring> SplitDriveStrings(std::wstring_view chars);

// Reads a volume disk-extent answer: a 32-bit count at 0, then from offset 8 one 24-byte
// extent per entry (disk number at +0, starting offset at +8, length at +16). False when the
// buffer is shorter than the count says.
bool ParseVolumeDiskExtents(std::span<const uint8_t> buffer, std::vector<DiskExtent>& extents);

// True when any extent lies on disk `diskNumber` (a volume spanning disks counts).
bool ExtentsIncludeDisk(const std::vector<DiskExtent>& extents, int32_t diskNumber);

// "\\.\E:" for the root "E:\".
std::wstring VolumePathForRoot(const std::wstring& root);

}  // namespace tvde
