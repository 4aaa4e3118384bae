#pragma once
// Reading a disk back and comparing what was read with what its last pass wrote: one range at a
// time, and the full surface read by two workers.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "base/device.h"
#include "base/page_buffer.h"
#include "erase/chunk_pipeline.h"
#include "erase/pass_data.h"

namespace tvde {

// Expected bytes are made and compared in pieces of this size, which stay in the cache.
inline constexpr size_t kComparePieceBytes = size_t{256} * 1024;

// Why a read-back stopped: a read that failed or came back short, a byte that differs from
// the pass data, or pass data that could not be made again to compare with.
struct ReadBackFault {
  enum class Kind : int32_t { None, Read, Mismatch, ExpectedData };
  Kind kind = Kind::None;
  uint64_t offset = 0;  // where the read started, or the wrong byte, or the piece not made
  std::wstring cause;   // of a failed read
  uint8_t want = 0;
  uint8_t got = 0;
};

// Reads exactly out.size() bytes at `offset`. A range read only in part has not been verified:
// a short read counts as a failure, as does a failed seek or read (`fault` says which).
bool ReadExactly(Device& disk, uint64_t offset, std::span<uint8_t> out, ReadBackFault& fault);

// Compares `data`, read at `offset`, with what the disk should hold there, making the expected
// bytes piece by piece in `scratch` (kComparePieceBytes). Kind::None when it matches or when no
// pass is named to compare with; sets `zeroedCompared` when some bytes lay in zeroed ranges.
// Touches nothing shared: several threads may call it at once.
ReadBackFault Compare(const ExpectedContent& expected, uint64_t offset,
                      std::span<const uint8_t> data, std::span<uint8_t> scratch,
                      bool& zeroedCompared);

// The full read-back's shared state: reads go to the disk one at a time in the order of the
// chunks, so the disk sees one sequential stream, while the chunks already read are compared
// by the workers at once. The first fault on the disk is kept.
class SurfaceReadBack {
 public:
  SurfaceReadBack(Device& disk, const ExpectedContent& expected, size_t chunkBytes)
      : disk_(disk), expected_(expected), chunkBytes_(chunkBytes) {}

  // One compare buffer per worker; false when the allocation fails.
  bool Allocate(int32_t workers);
  // A pipeline producer: reads the chunk at `offset` in its turn, then compares it. False at
  // the first fault, and for every chunk after it.
  bool ReadAndCompare(uint64_t offset, std::span<uint8_t> out);
  // No more reads: a worker waiting for its turn gives up. Must come before the pipeline
  // joins its threads, since a stopped pipeline never makes the read such a worker waits for.
  void Stop();

  ReadBackFault FirstFault();
  bool ZeroedCompared();

 private:
  void Keep(ReadBackFault fault);

  Device& disk_;
  const ExpectedContent& expected_;
  size_t chunkBytes_;
  int32_t workers_ = 1;
  std::array<PageBuffer, ChunkPipeline::kMaxProducers> scratch_;  // one per worker
  std::mutex mutex_;
  std::condition_variable turn_;
  uint64_t nextRead_ = 0;        // guarded by mutex_: the chunk whose turn it is to be read
  bool stopped_ = false;         // guarded by mutex_
  ReadBackFault fault_;          // guarded by mutex_
  bool zeroedCompared_ = false;  // guarded by mutex_
};

}  // namespace tvde
