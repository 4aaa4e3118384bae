#pragma once
// Double-buffered random data for random passes: a generator thread fills the next 4 MiB
// chunk while the previous one is being written, so a random pass costs the slower of the
// two instead of their sum. Every chunk handed out is a fresh fill, never a reused one.

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "base/page_buffer.h"
#include "erase/overwrite_pass.h"

namespace tvde {

class RandomChunkGenerator {
 public:
  explicit RandomChunkGenerator(RandomFill fill);
  RandomChunkGenerator(const RandomChunkGenerator&) = delete;
  RandomChunkGenerator& operator=(const RandomChunkGenerator&) = delete;
  // Stops the generator thread and waits for it: no fill runs after destruction.
  ~RandomChunkGenerator();

  // Reserves the two page-aligned chunk buffers; false when the allocation fails.
  bool Allocate(size_t chunkBytes);

  // The next freshly filled chunk; it stays valid and untouched until the next call.
  // Empty when the random source failed (the generator has then stopped for good).
  // The first call starts the generator thread.
  std::span<const uint8_t> Next();

 private:
  enum class Slot : int32_t { Empty, Ready, Failed, InUse };

  void Generate();
  void Stop();

  RandomFill fill_;  // owned copy: the thread may still use it while the caller unwinds
  std::array<PageBuffer, 2> buffers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::array<Slot, 2> slots_{Slot::Empty, Slot::Empty};  // guarded by mutex_
  bool stop_ = false;                                    // guarded by mutex_
  size_t nextSlot_ = 0;                                  // consumer side only
  int32_t inUse_ = -1;                                   // consumer side only
  bool started_ = false;                                 // consumer side only
  bool inline_ = false;  // no thread could be started: fill on the caller's thread
  std::thread thread_;
};

}  // namespace tvde
