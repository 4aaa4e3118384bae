// In-memory disk and fault-injecting device wrapper for engine tests.
#include "support/fault_device.h"

#include <algorithm>
#include <cstring>

namespace tvde::testing {
namespace {

constexpr IoResult kIoError{false, 0, 5};  // ERROR_ACCESS_DENIED / EIO alike: any nonzero code

}  // namespace

MemoryDevice::MemoryDevice(uint64_t sizeBytes, uint32_t sectorSize, uint8_t fill)
    : bytes_(static_cast<size_t>(sizeBytes), fill), sectorSize_(sectorSize) {}

bool MemoryDevice::Seek(uint64_t offset) {
  position_ = offset;
  return true;
}

IoResult MemoryDevice::Read(std::span<uint8_t> buffer) {
  return Transfer(buffer.data(), buffer.size(), false);
}

IoResult MemoryDevice::Write(std::span<const uint8_t> data) {
  return Transfer(const_cast<uint8_t*>(data.data()), data.size(), true);
}

IoResult MemoryDevice::Transfer(uint8_t* data, size_t size, bool write) {
  if (!IsSectorAligned(position_, size, data, sectorSize_)) return kIoError;
  if (position_ >= bytes_.size()) return write ? kIoError : IoResult{true, 0, 0};
  const size_t n = std::min<uint64_t>(size, bytes_.size() - position_);
  std::memcpy(write ? bytes_.data() + position_ : data, write ? data : bytes_.data() + position_,
              n);
  position_ += n;
  return {true, n, 0};
}

bool MemoryDevice::TrimWholeDevice(uint64_t sizeBytes) {
  std::fill_n(bytes_.begin(), std::min<uint64_t>(sizeBytes, bytes_.size()), uint8_t{0});
  return true;
}

bool MemoryDevice::QueryLength(uint64_t& lengthBytes) {
  lengthBytes = bytes_.size();
  return true;
}

FaultDevice::FaultDevice(std::unique_ptr<Device> inner, uint32_t sectorSize)
    : inner_(std::move(inner)), sectorSize_(sectorSize) {}

std::unique_ptr<FaultDevice> FaultDevice::InMemory(uint64_t sizeBytes, uint32_t sectorSize,
                                                   uint8_t fill) {
  auto memory = std::make_unique<MemoryDevice>(sizeBytes, sectorSize, fill);
  MemoryDevice* raw = memory.get();
  auto device = std::make_unique<FaultDevice>(std::move(memory), sectorSize);
  device->memory_ = raw;
  return device;
}

size_t FaultDevice::CountEvents(const std::string& prefix) const {
  return static_cast<size_t>(std::count_if(events.begin(), events.end(),
                                           [&](const auto& e) { return e.starts_with(prefix); }));
}

bool FaultDevice::Seek(uint64_t offset) {
  events.push_back("seek " + std::to_string(offset));
  if (faults.failSeek || !inner_->Seek(offset)) return false;
  position_ = offset;
  return true;
}

IoResult FaultDevice::Read(std::span<uint8_t> buffer) {
  const int32_t number = ++readCalls;
  events.push_back("read " + std::to_string(position_) + " " + std::to_string(buffer.size()));
  if (!IsSectorAligned(position_, buffer.size(), buffer.data(), sectorSize_)) return kIoError;
  if (number == faults.failReadAt) return kIoError;
  if (number == faults.shortReadAt)
    buffer = buffer.first(buffer.size() / 2 / sectorSize_ * sectorSize_);
  const IoResult result = inner_->Read(buffer);
  const uint64_t flip = faults.flipOffset.value_or(UINT64_MAX);
  if (result.ok && flip >= position_ && flip < position_ + result.bytes) {
    buffer[static_cast<size_t>(flip - position_)] ^= 0xFF;
  }
  if (result.ok) position_ += result.bytes;
  return result;
}

IoResult FaultDevice::Write(std::span<const uint8_t> data) {
  const int32_t number = ++writeCalls;
  events.push_back("write " + std::to_string(position_) + " " + std::to_string(data.size()));
  if (faults.beforeWrite) faults.beforeWrite(number);
  if (!IsSectorAligned(position_, data.size(), data.data(), sectorSize_)) return kIoError;
  if (number == faults.failWriteAt) return kIoError;
  if (number == faults.zeroWriteAt) return {true, 0, 0};
  const IoResult result = inner_->Write(data);
  if (result.ok) position_ += result.bytes;
  return result;
}

bool FaultDevice::Flush() {
  ++flushCalls;
  events.push_back("flush");
  return !faults.failFlush && inner_->Flush();
}

bool FaultDevice::TrimWholeDevice(uint64_t sizeBytes) {
  events.push_back("trim " + std::to_string(sizeBytes));
  return !faults.rejectTrim && inner_->TrimWholeDevice(sizeBytes);
}

bool FaultDevice::DeleteDriveLayout() {
  events.push_back("delete-layout");
  return inner_->DeleteDriveLayout();
}

bool FaultDevice::UpdateProperties() {
  events.push_back("update-properties");
  return inner_->UpdateProperties();
}

}  // namespace tvde::testing
