// Generator thread and hand-over protocol of the double-buffered random chunks.
#include "erase/random_chunk_generator.h"

#include <system_error>
#include <utility>

namespace tvde {

RandomChunkGenerator::RandomChunkGenerator(RandomFill fill) : fill_(std::move(fill)) {
  if (!fill_) fill_ = FillRandom;
}

RandomChunkGenerator::~RandomChunkGenerator() {
  Stop();
}

bool RandomChunkGenerator::Allocate(size_t chunkBytes) {
  for (PageBuffer& buffer : buffers_) {
    buffer = PageBuffer::Allocate(chunkBytes);
    if (!buffer.valid()) return false;
  }
  return true;
}

// Slot ownership: an Empty slot belongs to the generator, an InUse slot to the consumer; a
// slot changes hands only under mutex_, which orders the buffer contents between threads.
void RandomChunkGenerator::Generate() {
  size_t slot = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || slots_[slot] == Slot::Empty; });
      if (stop_) return;
    }
    const bool ok = fill_(buffers_[slot].span());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[slot] = ok ? Slot::Ready : Slot::Failed;
    }
    changed_.notify_all();
    if (!ok) return;
    slot ^= 1;
  }
}

std::span<const uint8_t> RandomChunkGenerator::Next() {
  if (!buffers_[0].valid() || !buffers_[1].valid()) return {};
  if (inline_) return fill_(buffers_[0].span()) ? buffers_[0].span() : std::span<const uint8_t>();
  if (!started_) {
    started_ = true;
    try {
      thread_ = std::thread([this] { Generate(); });
    } catch (const std::system_error&) {
      // No thread to be had: generation and writing simply take turns.
      inline_ = true;
      return Next();
    }
  }

  std::unique_lock<std::mutex> lock(mutex_);
  if (inUse_ >= 0) {
    // The caller has finished writing the chunk it held: give it back for refilling.
    slots_[static_cast<size_t>(inUse_)] = Slot::Empty;
    inUse_ = -1;
    changed_.notify_all();
  }
  changed_.wait(
      lock, [&] { return slots_[nextSlot_] == Slot::Ready || slots_[nextSlot_] == Slot::Failed; });
  if (slots_[nextSlot_] == Slot::Failed) return {};
  slots_[nextSlot_] = Slot::InUse;
  inUse_ = static_cast<int32_t>(nextSlot_);
  nextSlot_ ^= 1;
  return buffers_[static_cast<size_t>(inUse_)].span();
}

void RandomChunkGenerator::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

}  // namespace tvde
