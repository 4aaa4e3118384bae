#pragma once
// Devices for engine tests: an in-memory disk, and a wrapper around any device (in-memory or a
// real image file) that injects faults and records every call. Both refuse misaligned
// transfers exactly as an unbuffered disk handle does.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/device.h"

namespace tvde::testing {

// A disk in memory: reads at the end return 0 bytes, writes fail, as on a block device.
class MemoryDevice final : public Device {
 public:
  MemoryDevice(uint64_t sizeBytes, uint32_t sectorSize, uint8_t fill = 0);
  std::vector<uint8_t>& bytes() { return bytes_; }

  bool Seek(uint64_t offset) override;
  IoResult Read(std::span<uint8_t> buffer) override;
  IoResult Write(std::span<const uint8_t> data) override;
  bool Flush() override { return true; }
  bool TrimWholeDevice(uint64_t sizeBytes) override;
  bool DeleteDriveLayout() override { return true; }
  bool UpdateProperties() override { return true; }
  bool QueryLength(uint64_t& lengthBytes) override;

 private:
  IoResult Transfer(uint8_t* data, size_t size, bool write);
  std::vector<uint8_t> bytes_;
  uint32_t sectorSize_;
  uint64_t position_ = 0;
};

// Which calls go wrong. Call numbers count from 1; 0 means never.
struct FaultPlan {
  int32_t failWriteAt = 0;             // that write fails with an I/O error, nothing written
  int32_t zeroWriteAt = 0;             // that write "succeeds" with 0 bytes, nothing written
  int32_t failReadAt = 0;              // that read fails
  int32_t shortReadAt = 0;             // that read returns only the first half (whole sectors)
  std::optional<uint64_t> flipOffset;  // every read returns this disk byte inverted
  bool failFlush = false;
  bool rejectTrim = false;
  bool failSeek = false;
  std::function<void(int32_t writeNumber)> beforeWrite;  // e.g. to raise the cancel flag
};

class FaultDevice final : public Device {
 public:
  FaultDevice(std::unique_ptr<Device> inner, uint32_t sectorSize);
  static std::unique_ptr<FaultDevice> InMemory(uint64_t sizeBytes, uint32_t sectorSize,
                                               uint8_t fill = 0);

  FaultPlan faults;
  // What the engine did, in order: "seek 0", "write 0 4194304", "read 65536 65536", "flush",
  // "trim 1234", "delete-layout", "update-properties" (failed calls are recorded too).
  std::vector<std::string> events;
  int32_t writeCalls = 0;
  int32_t readCalls = 0;
  int32_t flushCalls = 0;

  MemoryDevice* memory() { return memory_; }            // null when wrapping another device
  size_t CountEvents(const std::string& prefix) const;  // events starting with `prefix`

  bool Seek(uint64_t offset) override;
  IoResult Read(std::span<uint8_t> buffer) override;
  IoResult Write(std::span<const uint8_t> data) override;
  bool Flush() override;
  bool TrimWholeDevice(uint64_t sizeBytes) override;
  bool DeleteDriveLayout() override;
  bool UpdateProperties() override;
  bool QueryLength(uint64_t& lengthBytes) override { return inner_->QueryLength(lengthBytes); }

 private:
  std::unique_ptr<Device> inner_;
  MemoryDevice* memory_ = nullptr;
  uint32_t sectorSize_;
  uint64_t position_ = 0;
};

}  // namespace tvde::testing
