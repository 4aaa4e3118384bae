#pragma once
// A raw disk or image file opened for sector I/O, behind one interface so that the erase
// engine and the stamp writer run unchanged on Windows devices, POSIX block devices, image
// files and the fault-injecting device of the tests.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tvde {

struct IoResult {
  bool ok = false;
  size_t bytes = 0;    // bytes actually transferred
  uint32_t error = 0;  // OS error code when !ok
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
};

enum class DeviceAccess : int32_t { ReadOnly, ReadWrite };
enum class DeviceCreation : int32_t { OpenExisting, CreateAlways };
enum class DeviceBuffering : int32_t {
  // No cache; offsets, lengths and buffers must be sector-aligned. Windows handles also write
  // through; POSIX ones reach the device for certain only at Flush.
  Unbuffered,
  Buffered,  // ordinary file I/O (scratch files)
};

struct DeviceOpenOptions {
  DeviceAccess access = DeviceAccess::ReadOnly;
  DeviceCreation creation = DeviceCreation::OpenExisting;
  DeviceBuffering buffering = DeviceBuffering::Unbuffered;
  uint32_t sectorSize = 512;  // alignment enforced for unbuffered I/O; 0 counts as 512
};

struct DeviceOpenResult {
  std::unique_ptr<Device> device;  // null on failure
  uint32_t error = 0;
};

// Opens a device path ("\\.\PhysicalDriveN" on Windows, "/dev/sdX" elsewhere) or a file.
// Unbuffered handles refuse misaligned transfers themselves, exactly as a raw unbuffered
// disk handle would, even where the OS underneath would accept them; for a file the
// alignment is raised to its volume's sector size where that is larger.
DeviceOpenResult OpenDevice(const std::wstring& path, const DeviceOpenOptions& options);

// The smallest unit unbuffered I/O on the file accepts: the logical sector size of the volume
// it lives on (a volume on a disk with 4096-byte sectors refuses 512-byte transfers). 0 when
// the system cannot tell, and always 0 outside Windows.
uint32_t UnbufferedFileSectorSize(const std::wstring& path);

// True when offset, length and address are all multiples of the sector size.
bool IsSectorAligned(uint64_t offset, size_t length, const void* address, uint32_t sectorSize);

}  // namespace tvde
