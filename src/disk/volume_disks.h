#pragma once
// Which disks a volume, a path or a page file lives on, asked through the system queries, and
// the device paths that name volumes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "disk/disk_queries.h"

namespace tvde {

// "\\.\E:"
std::wstring VolumeDeviceForLetter(wchar_t letter);

// A volume as the system names it in its different places, as a device path that opens it:
// "E:", "E:\", "\??\E:" and "\\.\E:" give "\\.\E:"; "\\?\Volume{GUID}\" gives
// "\\?\Volume{GUID}"; "\Device\HarddiskVolume3" gives "\\?\GLOBALROOT\Device\HarddiskVolume3"
// (a GLOBALROOT path stays). Empty for anything else.
std::wstring VolumeDeviceForName(std::wstring_view name);

// Device paths compared as the system does: without regard to letter case.
bool SameVolumeDevice(std::wstring_view a, std::wstring_view b);

// Disk numbers of every extent of the volume. The first question has room for one extent; a
// volume spread over several disks answers "more data" with its extent count, and is asked
// again with room for all of them. Nothing when the volume cannot be queried; then `failure`,
// when given, receives the failed answer (all zero when the answer itself made no sense).
std::optional<std::vector<int32_t>> VolumeExtentDisks(DiskSystemQueries& system,
                                                      const std::wstring& volumeDevice,
                                                      ControlAnswer* failure = nullptr);

// The disks of the volume that `path` lives on; empty when the system cannot tell.
std::vector<int32_t> DisksOfPath(DiskSystemQueries& system, const std::wstring& path);

// A page file entry of the memory-management registry values as a plain path:
// "\??\C:\pagefile.sys" (ExistingPageFiles) and "C:\pagefile.sys 0 0" (PagingFiles) give
// "C:\pagefile.sys". Empty for "?:\pagefile.sys" (system-managed on any drive: the existing
// page files list says where) and for anything that is not a drive path.
std::wstring PageFilePath(std::wstring_view entry);

// Devices of the volumes that hold the page files the registry names (each volume once).
std::vector<std::wstring> PageFileVolumes(DiskSystemQueries& system);

// How a volume is called in log lines: "E:" for a drive letter, "C:\mnt\data" for a folder
// mount, the volume name itself when it is mounted nowhere.
std::wstring VolumeDisplayName(const std::vector<std::wstring>& mountPoints,
                               const std::wstring& volumeName);

}  // namespace tvde
