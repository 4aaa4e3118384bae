// The facts that make a disk one the running system needs, gathered through the system queries.
#include "disk/protected_disks.h"

#include <algorithm>

#include "disk/disk_classification.h"
#include "disk/volume_disks.h"

namespace tvde {
namespace {

constexpr const wchar_t* kSetupKey = L"SYSTEM\\Setup";
constexpr const wchar_t* kControlKey = L"SYSTEM\\CurrentControlSet\\Control";
constexpr const wchar_t* kBootWim = L"sources\\boot.wim";

void AddDisks(std::vector<DiskProtection>& out, const std::vector<int32_t>& disks,
              ProtectionCause cause) {
  for (int32_t disk : disks)
    out.push_back({disk, cause});
}

void AddOnce(std::vector<int32_t>& out, const std::vector<int32_t>& disks) {
  for (int32_t disk : disks) {
    if (std::find(out.begin(), out.end(), disk) == out.end()) out.push_back(disk);
  }
}

std::vector<int32_t> DisksOfVolume(DiskSystemQueries& system, const std::wstring& device) {
  if (device.empty()) return {};
  return VolumeExtentDisks(system, device).value_or(std::vector<int32_t>{});
}

std::wstring SystemVolumeDevice(DiskSystemQueries& system) {
  const std::optional<std::wstring> directory = system.SystemDirectory();
  if (!directory || directory->size() < 2 || (*directory)[1] != L':') return {};
  return VolumeDeviceForLetter((*directory)[0]);
}

// Roots to look for boot.wim under: every volume by name, or the lettered roots when the
// volume list cannot be read.
std::vector<std::wstring> BootWimRoots(DiskSystemQueries& system) {
  if (auto names = system.VolumeNames()) return *names;
  return system.LogicalDriveRoots().value_or(std::vector<std::wstring>{});
}

}  // namespace

SafetyStatus ProtectionStatus(ProtectionCause cause) {
  return cause == ProtectionCause::BootMedium || cause == ProtectionCause::WinPESystemFolder
             ? SafetyStatus::ProtectedBootMedia
             : SafetyStatus::ProtectedSystemDisk;
}

std::wstring ProtectionReason(ProtectionCause cause) {
  switch (cause) {
    case ProtectionCause::SystemVolume:
      return kReasonSystemDisk;
    case ProtectionCause::SystemPartition:
      return kReasonSystemPartition;
    case ProtectionCause::VirtualDiskHost:
      return kReasonVirtualDiskHost;
    case ProtectionCause::PageFile:
      return kReasonPageFile;
    case ProtectionCause::BootMedium:
      return kReasonBootMedia;
    case ProtectionCause::WinPESystemFolder:
      return kReasonWinPESystemFolder;
  }
  return kReasonSystemDisk;
}

std::vector<int32_t> FindBootMediaDisksWith(DiskSystemQueries& system) {
  std::vector<int32_t> disks;
  for (const std::wstring& source :
       system.MachineRegistryStrings(kControlKey, L"PEBootRamdiskSourceDrive")) {
    AddOnce(disks, DisksOfVolume(system, VolumeDeviceForName(source)));
  }
  if (!disks.empty()) return disks;

  for (std::wstring root : BootWimRoots(system)) {
    if (root.empty()) continue;
    if (root.back() != L'\\') root.push_back(L'\\');
    if (!system.FileExists(root + kBootWim)) continue;
    AddOnce(disks, DisksOfVolume(system, VolumeDeviceForName(root)));
  }
  return disks;
}

std::vector<DiskProtection> FindProtectedDisksWith(DiskSystemQueries& system,
                                                   int32_t environmentMode) {
  const bool winPE = environmentMode == 1;
  std::vector<DiskProtection> out;
  const std::wstring systemVolume = SystemVolumeDevice(system);
  // WinPE normally runs from its RAM disk, which has no disk extents; when it runs from a
  // disk, that disk is in use like a system disk.
  AddDisks(out, DisksOfVolume(system, systemVolume),
           winPE ? ProtectionCause::WinPESystemFolder : ProtectionCause::SystemVolume);
  if (winPE) AddDisks(out, FindBootMediaDisksWith(system), ProtectionCause::BootMedium);

  for (const std::wstring& partition : system.MachineRegistryStrings(kSetupKey, L"SystemPartition"))
    AddDisks(out, DisksOfVolume(system, VolumeDeviceForName(partition)),
             ProtectionCause::SystemPartition);

  if (!systemVolume.empty()) {
    for (const std::wstring& host : system.VirtualDiskHostVolumes(systemVolume))
      AddDisks(out, DisksOfVolume(system, VolumeDeviceForName(host)),
               ProtectionCause::VirtualDiskHost);
  }

  for (const std::wstring& volume : PageFileVolumes(system))
    AddDisks(out, DisksOfVolume(system, volume), ProtectionCause::PageFile);
  return out;
}

}  // namespace tvde
