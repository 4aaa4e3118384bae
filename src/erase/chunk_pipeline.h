#pragma once
// Chunks produced ahead on a thread of their own: the random data of a pass is generated while
// earlier chunks are being written, and a read-back reads the next chunks while an earlier one
// is being compared, so each costs the slower of its two halves instead of their sum. A few
// chunks of slack keep either side going while the other is held up for a moment. Chunks come
// in order, each a fresh production, never a reused one.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

#include "base/page_buffer.h"

namespace tvde {

class ChunkPipeline {
 public:
  // Fills `out` with bytes [offset, offset + out.size()) of what is produced, or returns false.
  // Runs on the pipeline's thread (or on the caller's when no thread can be had).
  using Producer = std::function<bool(uint64_t offset, std::span<uint8_t> out)>;

  // Chunks cover [0, totalBytes): every one chunkBytes long (set by Allocate) but the last.
  ChunkPipeline(Producer produce, uint64_t totalBytes);
  ChunkPipeline(const ChunkPipeline&) = delete;
  ChunkPipeline& operator=(const ChunkPipeline&) = delete;
  // Stops the thread and waits for it: no production runs after destruction.
  ~ChunkPipeline();

  // Reserves the page-aligned chunk buffers; false when the allocation fails.
  bool Allocate(size_t chunkBytes);

  // The next chunk; it stays valid and untouched until the next call. Empty when the producer
  // failed (the pipeline has then stopped for good) or every chunk was handed out. The first
  // call starts the thread.
  std::span<const uint8_t> Next();

  // Chunks in hand at most: the one the caller holds and those produced ahead of it.
  static constexpr size_t kSlots = 4;

 private:
  enum class Slot : int32_t { Empty, Ready, Failed, InUse };

  size_t ChunkSize(uint64_t offset) const;
  void Produce();
  void Stop();

  Producer produce_;  // owned copy: the thread may still use it while the caller unwinds
  uint64_t total_;
  size_t chunkBytes_ = 0;
  std::array<PageBuffer, kSlots> buffers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<Slot, kSlots> slots_{};  // guarded by mutex_; value-initialised: all Empty
  bool stop_ = false;                 // guarded by mutex_
  size_t nextSlot_ = 0;               // consumer side only
  uint64_t nextOffset_ = 0;           // consumer side only
  int32_t inUse_ = -1;                // consumer side only
  bool started_ = false;              // consumer side only
  bool inline_ = false;               // no thread could be started: produce on the caller's thread
  std::thread thread_;
};

}  // namespace tvde
