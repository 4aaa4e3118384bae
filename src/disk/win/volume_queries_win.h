#pragma once
// Win32 answers to the volume and registry questions of the disk queries (Windows build only).
// None of them opens a disk; the two that open a volume device refuse under Wine, where the
// device would be one of the host's own.

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/win/device_control_win.h"
#include "disk/disk_queries.h"

namespace tvde {

std::optional<std::vector<std::wstring>> Win32VolumeNames();
std::vector<std::wstring> Win32MountPoints(const std::wstring& volumeName);
std::optional<std::wstring> Win32VolumeOfPath(const std::wstring& path);
ControlAnswer Win32QueryVolumeExtents(const std::wstring& volumeDevice, std::span<uint8_t> out);
// The extents question asked through a volume handle already open (or the open's failure, from
// the last error, when it is not valid).
ControlAnswer QueryVolumeExtentsOf(const AccessHandle& volume, std::span<uint8_t> out);
std::vector<std::wstring> Win32VirtualDiskHostVolumes(const std::wstring& volumeDevice);
bool Win32HostsVirtualDisks(const std::wstring& volumeDevice);
std::vector<std::wstring> Win32MachineRegistryStrings(const std::wstring& subkey,
                                                      const std::wstring& value);

}  // namespace tvde
