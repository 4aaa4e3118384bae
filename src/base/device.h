#pragma once
// A raw disk or image file opened for sector I/O, behind one interface so that the erase
// engine and the stamp writer run unchanged on Windows devices, POSIX block devices, image
// files and the fault-injecting device of the tests.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tvde {

// Bytes [offset, offset + bytes) of a device.
struct ByteRange {
  uint64_t offset = 0;
  uint64_t bytes = 0;
  friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

struct IoResult {
  bool ok = false;
  size_t bytes = 0;    // bytes actually transferred
  uint32_t error = 0;  // OS error code when !ok
};

// Questions a disk answers about itself, each answered with the raw bytes of the Windows
// structure named. Each is one a disk answers through a handle opened for queries only (no
// read or write access); the size comes from the geometry for that reason.
enum class DiskQuery : int32_t {
  DeviceNumber,      // STORAGE_DEVICE_NUMBER (IOCTL_STORAGE_GET_DEVICE_NUMBER)
  DeviceDescriptor,  // STORAGE_DEVICE_DESCRIPTOR; the leading part when larger than the buffer
  SeekPenalty,       // DEVICE_SEEK_PENALTY_DESCRIPTOR
  DriveGeometryEx,   // DISK_GEOMETRY_EX (IOCTL_DISK_GET_DRIVE_GEOMETRY_EX)
  DiskAttributes,    // GET_DISK_ATTRIBUTES (IOCTL_DISK_GET_DISK_ATTRIBUTES)
};

class Device {
 public:
  virtual ~Device() = default;

  // Moves the position to `offset` bytes from the start of the device.
  virtual bool Seek(uint64_t offset) = 0;
  // One synchronous transfer at the current position; the position advances by `bytes`.
  virtual IoResult Read(std::span<uint8_t> buffer) = 0;
  virtual IoResult Write(std::span<const uint8_t> data) = 0;
  virtual bool Flush() = 0;

  // Device requests; each answers false where the device kind does not support it.
  virtual bool TrimWholeDevice(uint64_t sizeBytes) = 0;  // discard [0, sizeBytes)
  virtual bool DeleteDriveLayout() = 0;
  virtual bool UpdateProperties() = 0;  // ask the system to re-read the partition table
  virtual bool QueryLength(uint64_t& lengthBytes) = 0;
  // Asks the disk behind this very handle; the bytes returned, or nothing where the device
  // kind does not answer (files, POSIX devices) or the question failed.
  virtual std::optional<size_t> QueryDisk(DiskQuery /*query*/, std::span<uint8_t> /*out*/) {
    return std::nullopt;
  }
  // The OS handle (POSIX descriptor, Windows HANDLE) for the drive's pass-through commands,
  // which borrow it; nothing for devices that have none.
  virtual std::optional<intptr_t> NativeHandle() const { return std::nullopt; }
};

enum class DeviceAccess : int32_t { ReadOnly, ReadWrite };
enum class DeviceCreation : int32_t {
  OpenExisting,
  CreateAlways,
  CreateNew,  // a new regular file; fails when anything, even a dangling link, has the name
};
enum class DeviceBuffering : int32_t {
  // No cache; offsets, lengths and buffers must be sector-aligned. Windows handles also write
  // through; POSIX ones reach the device for certain only at Flush.
  Unbuffered,
  Buffered,  // ordinary file I/O (scratch files)
};
enum class DeviceLinks : int32_t {
  Follow,  // a symbolic link (Windows: reparse point) as the last name is followed
  Refuse,  // it is not: the open fails, and the link is reported as what was found
};
enum class DeviceClaim : int32_t {
  Shared,
  // POSIX block devices: opened exclusively (O_EXCL), which fails while the device is mounted
  // or held by another device, and keeps it from being mounted while the handle is open.
  Exclusive,
};

struct DeviceOpenOptions {
  DeviceAccess access = DeviceAccess::ReadOnly;
  DeviceCreation creation = DeviceCreation::OpenExisting;
  DeviceBuffering buffering = DeviceBuffering::Unbuffered;
  uint32_t sectorSize = 512;  // alignment enforced for unbuffered I/O; 0 counts as 512
  DeviceLinks links = DeviceLinks::Follow;
  DeviceClaim claim = DeviceClaim::Shared;
};

// POSIX device number (major:minor): of a block device, or of the file system a file is on.
struct DeviceNumber {
  uint32_t major = 0;
  uint32_t minor = 0;
  friend bool operator==(const DeviceNumber&, const DeviceNumber&) = default;
};

enum class DeviceKind : int32_t { Missing, RegularFile, BlockDevice, SymbolicLink, Folder, Other };

// POSIX loop devices: what an opened one is bound to, as its handle answers (LOOP_GET_STATUS64).
// While the handle is open the binding cannot change.
struct LoopBinding {
  bool bound = false;
  DeviceNumber fileSystem;   // the backing file's st_dev
  uint64_t fileNumber = 0;   // its inode
  DeviceNumber blockDevice;  // the backing block device; 0:0 for a file
};

// What a handle refers to, as the system tells it for that very object (never by looking the
// path up again), so that every decision about a target holds for what is actually written.
struct DeviceObject {
  DeviceKind kind = DeviceKind::Missing;
  uint64_t sizeBytes = 0;    // regular files
  DeviceNumber fileSystem;   // POSIX: the file system the file or device node is on (st_dev)
  uint64_t fileNumber = 0;   // POSIX: the inode; Windows: the file index
  DeviceNumber blockDevice;  // POSIX block devices: the device itself (st_rdev)
  LoopBinding loop;          // POSIX block devices opened for I/O: a loop device's binding
};

struct DeviceOpenResult {
  std::unique_ptr<Device> device;  // null on failure
  uint32_t error = 0;
  // What was opened; on failure what was found at the path, when it could be looked at.
  DeviceObject object = {};
};

// Opens a device path ("\\.\PhysicalDriveN" on Windows, "/dev/sdX" elsewhere) or a file.
// Unbuffered handles refuse misaligned transfers themselves, exactly as a raw unbuffered
// disk handle would, even where the OS underneath would accept them; for a file the
// alignment is raised to its volume's sector size where that is larger. On POSIX only a regular
// file or a block device is opened: anything else (a folder, a pipe, a character device, a
// refused link) is looked at without being opened and fails with its kind in the result.
DeviceOpenResult OpenDevice(const std::wstring& path, const DeviceOpenOptions& options);

// What the path names, looked at without opening it for reading or writing (no device driver
// sees an open, no pipe waits). The error is set when the path cannot be looked at.
DeviceObject InspectDevicePath(const std::wstring& path, DeviceLinks links, uint32_t& error);

// The smallest unit unbuffered I/O on the file accepts: the logical sector size of the volume
// it lives on (a volume on a disk with 4096-byte sectors refuses 512-byte transfers). 0 when
// the system cannot tell, and always 0 outside Windows.
uint32_t UnbufferedFileSectorSize(const std::wstring& path);

// True when offset, length and address are all multiples of the sector size.
bool IsSectorAligned(uint64_t offset, size_t length, const void* address, uint32_t sectorSize);

}  // namespace tvde
