#pragma once
// The system queries the disk inventory and the volume checks are built from. The Windows
// build answers them with the Win32 disk, volume and registry calls; tests answer them from
// tables laid out like the Windows structures.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/device.h"

namespace tvde {

// A physical disk opened for queries only (no read or write access).
class DiskQueryHandle {
 public:
  virtual ~DiskQueryHandle() = default;
  // Fills `out` and answers the number of bytes returned, or nothing when the query failed.
  // The descriptor query returns the leading part of a descriptor larger than `out` (its
  // header tells the whole size); the others fail when the answer does not fit.
  virtual std::optional<size_t> Query(DiskQuery query, std::span<uint8_t> out) = 0;
};

// The questions asked of a disk the job has already opened for writing, through that handle.
class OpenDeviceQueries final : public DiskQueryHandle {
 public:
  explicit OpenDeviceQueries(Device& device) : device_(device) {}
  std::optional<size_t> Query(DiskQuery query, std::span<uint8_t> out) override {
    return device_.QueryDisk(query, out);
  }

 private:
  Device& device_;
};

// Answer of a device control whose result may be larger than the buffer.
struct ControlAnswer {
  bool ok = false;
  bool moreData = false;  // failed with "more data": `out` holds the leading part only
  size_t bytes = 0;       // bytes returned
  uint32_t error = 0;     // the system's error when the device could not be opened or asked
  // The question does not apply: the device lies on no disk (an optical drive, a RAM disk) or
  // holds no medium.
  bool onNoDisk = false;
};

class DiskSystemQueries {
 public:
  virtual ~DiskSystemQueries() = default;
  // The Windows system directory ("C:\Windows\system32"); nothing when it cannot be read.
  virtual std::optional<std::wstring> SystemDirectory() = 0;
  // Volume roots such as "E:\" in the system's order; nothing when the list cannot be read.
  virtual std::optional<std::vector<std::wstring>> LogicalDriveRoots() = 0;
  // Every volume as "\\?\Volume{GUID}\", whether it has a letter, a folder mount or neither;
  // nothing when the list cannot be read.
  virtual std::optional<std::vector<std::wstring>> VolumeNames() = 0;
  // Where a volume ("\\?\Volume{GUID}\") is mounted: "E:\", "C:\mnt\data\"; empty when nowhere.
  virtual std::vector<std::wstring> MountPoints(const std::wstring& volumeName) = 0;
  virtual bool FileExists(const std::wstring& path) = 0;
  // Disk extents of a volume device ("\\.\E:", "\\?\Volume{GUID}",
  // "\\?\GLOBALROOT\Device\HarddiskVolume1") into `out`.
  virtual ControlAnswer QueryVolumeExtents(const std::wstring& volumeDevice,
                                           std::span<uint8_t> out) = 0;
  // The device of the volume a file or folder lives on (it need not exist yet); nothing when
  // the system cannot tell.
  virtual std::optional<std::wstring> VolumeOfPath(const std::wstring& path) = 0;
  // Devices of the volumes that hold the virtual disk file `volumeDevice` lives in (a native
  // boot from a VHD); empty when it lives on no virtual disk or the question fails.
  virtual std::vector<std::wstring> VirtualDiskHostVolumes(const std::wstring& volumeDevice) = 0;
  // True when virtual disks are attached from files on `volumeDevice`.
  virtual bool HostsVirtualDisks(const std::wstring& volumeDevice) = 0;
  // A value under HKEY_LOCAL_MACHINE: REG_SZ and REG_EXPAND_SZ (unexpanded) as one entry,
  // REG_MULTI_SZ as its entries; empty when the key or value is missing or of another type.
  virtual std::vector<std::wstring> MachineRegistryStrings(const std::wstring& subkey,
                                                           const std::wstring& value) = 0;
  // "\\.\PhysicalDrive<n>" opened for queries; null when it cannot be opened.
  virtual std::unique_ptr<DiskQueryHandle> OpenPhysicalDisk(int32_t diskNumber) = 0;
  // The device-interface paths of every present disk (SetupAPI, GUID_DEVINTERFACE_DISK), which
  // name disks of any number; nothing when the list cannot be read.
  virtual std::optional<std::vector<std::wstring>> DiskInterfacePaths() = 0;
  // One of those paths opened for queries; null when it cannot be opened.
  virtual std::unique_ptr<DiskQueryHandle> OpenDiskInterface(const std::wstring& path) = 0;
  // Device strings are in the ANSI code page.
  virtual std::wstring AnsiToWide(const std::string& text) = 0;
};

}  // namespace tvde
