#pragma once
// Pure helpers of the lettered-volume lock, kept apart from the Win32 calls so that both builds
// test them.

#include <cstdint>
#include <string>
#include <vector>

namespace tvde {

// True when any extent lies on disk `diskNumber` (a volume spanning disks counts).
bool ExtentsIncludeDisk(const std::vector<int32_t>& extentDisks, int32_t diskNumber);

// "\\.\E:" for the root "E:\".
std::wstring VolumePathForRoot(const std::wstring& root);

}  // namespace tvde
