// Reading back and comparing: ranges, and the ordered reads of the full-surface workers.
#include "erase/read_back.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "base/system_error.h"
#include "erase/disk_error_text.h"

namespace tvde {

bool ReadExactly(Device& disk, uint64_t offset, std::span<uint8_t> out, ReadBackFault& fault) {
  const auto failed = [&](std::wstring cause) {
    fault = {ReadBackFault::Kind::Read, offset, std::move(cause)};
    return false;
  };
  if (!disk.Seek(offset)) return failed(DescribeDiskError(LastSystemError()));
  const IoResult read = disk.Read(out);
  if (!read.ok) return failed(DescribeDiskError(read.error));
  if (read.bytes != out.size()) {
    return failed(std::to_wstring(out.size()) + L" バイト中 " + std::to_wstring(read.bytes) +
                  L" バイトしか読み出せませんでした");
  }
  return true;
}

ReadBackFault Compare(const ExpectedContent& expected, uint64_t offset,
                      std::span<const uint8_t> data, std::span<uint8_t> scratch,
                      bool& zeroedCompared) {
  if (expected.pass == nullptr) return {};
  for (size_t done = 0; done < data.size();) {
    const std::span<const uint8_t> got =
        data.subspan(done, std::min(scratch.size(), data.size() - done));
    const std::span<uint8_t> want = scratch.first(got.size());
    const std::optional<uint64_t> zeroed = FillExpected(expected, offset + done, want);
    if (!zeroed) return {ReadBackFault::Kind::ExpectedData, offset + done, {}};
    if (*zeroed > 0) zeroedCompared = true;
    if (std::memcmp(want.data(), got.data(), got.size()) != 0) {
      const auto at = static_cast<size_t>(
          std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin());
      return {ReadBackFault::Kind::Mismatch, offset + done + at, {}, want[at], got[at]};
    }
    done += got.size();
  }
  return {};
}

bool SurfaceReadBack::Allocate(int32_t workers) {
  for (int32_t w = 0; w < workers; ++w) {
    scratch_[static_cast<size_t>(w)] = PageBuffer::Allocate(kComparePieceBytes);
    if (!scratch_[static_cast<size_t>(w)].valid()) return false;
  }
  workers_ = workers;
  return true;
}

bool SurfaceReadBack::ReadAndCompare(uint64_t offset, std::span<uint8_t> out) {
  const uint64_t chunk = offset / chunkBytes_;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    turn_.wait(lock, [&] { return stopped_ || nextRead_ == chunk; });
    if (stopped_) return false;
  }
  ReadBackFault fault;
  const bool read = ReadExactly(disk_, offset, out, fault);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++nextRead_;
    if (!read) Keep(std::move(fault));
  }
  turn_.notify_all();
  if (!read) return false;
  bool zeroed = false;
  const size_t worker = static_cast<size_t>(chunk % static_cast<uint64_t>(workers_));
  fault = Compare(expected_, offset, out, scratch_[worker].span(), zeroed);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    zeroedCompared_ = zeroedCompared_ || zeroed;
    if (fault.kind == ReadBackFault::Kind::None) return true;
    Keep(std::move(fault));
  }
  turn_.notify_all();
  return false;
}

void SurfaceReadBack::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  turn_.notify_all();
}

ReadBackFault SurfaceReadBack::FirstFault() {
  std::lock_guard<std::mutex> lock(mutex_);
  return fault_;
}

bool SurfaceReadBack::ZeroedCompared() {
  std::lock_guard<std::mutex> lock(mutex_);
  return zeroedCompared_;
}

// With mutex_ held. Nothing is read after a fault; a fault further on may have been found
// before one in a chunk still being compared, so the one nearest the start wins.
void SurfaceReadBack::Keep(ReadBackFault fault) {
  stopped_ = true;
  if (fault_.kind == ReadBackFault::Kind::None || fault.offset < fault_.offset) {
    fault_ = std::move(fault);
  }
}

}  // namespace tvde
