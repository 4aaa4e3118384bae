// Producer thread and hand-over protocol of the double-buffered chunks.
#include "erase/chunk_pipeline.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace tvde {

ChunkPipeline::ChunkPipeline(Producer produce, uint64_t totalBytes)
    : produce_(std::move(produce)), total_(totalBytes) {}

ChunkPipeline::~ChunkPipeline() {
  Stop();
}

bool ChunkPipeline::Allocate(size_t chunkBytes) {
  chunkBytes_ = chunkBytes;
  for (PageBuffer& buffer : buffers_) {
    buffer = PageBuffer::Allocate(chunkBytes);
    if (!buffer.valid()) return false;
  }
  return true;
}

size_t ChunkPipeline::ChunkSize(uint64_t offset) const {
  return offset >= total_ ? 0
                          : static_cast<size_t>(std::min<uint64_t>(chunkBytes_, total_ - offset));
}

// Slot ownership: an Empty slot belongs to the producer, an InUse slot to the consumer; a slot
// changes hands only under mutex_, which orders the buffer contents between threads.
void ChunkPipeline::Produce() {
  size_t slot = 0;
  for (uint64_t offset = 0; offset < total_; offset += chunkBytes_) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || slots_[slot] == Slot::Empty; });
      if (stop_) return;
    }
    const bool ok = produce_(offset, buffers_[slot].span().first(ChunkSize(offset)));
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[slot] = ok ? Slot::Ready : Slot::Failed;
    }
    changed_.notify_all();
    if (!ok) return;
    slot = (slot + 1) % kSlots;
  }
}

std::span<const uint8_t> ChunkPipeline::Next() {
  if (!produce_ || std::any_of(buffers_.begin(), buffers_.end(),
                               [](const PageBuffer& b) { return !b.valid(); })) {
    return {};
  }
  const size_t size = ChunkSize(nextOffset_);
  if (size == 0) return {};
  if (inline_) {
    const std::span<uint8_t> chunk = buffers_[0].span().first(size);
    if (!produce_(nextOffset_, chunk)) return {};
    nextOffset_ += size;
    return chunk;
  }
  if (!started_) {
    started_ = true;
    try {
      thread_ = std::thread([this] { Produce(); });
    } catch (const std::system_error&) {
      // No thread to be had: production and consumption simply take turns.
      inline_ = true;
      return Next();
    }
  }

  std::unique_lock<std::mutex> lock(mutex_);
  if (inUse_ >= 0) {
    // The caller has finished with the chunk it held: give it back for the next production.
    slots_[static_cast<size_t>(inUse_)] = Slot::Empty;
    inUse_ = -1;
    changed_.notify_all();
  }
  changed_.wait(
      lock, [&] { return slots_[nextSlot_] == Slot::Ready || slots_[nextSlot_] == Slot::Failed; });
  if (slots_[nextSlot_] == Slot::Failed) return {};
  slots_[nextSlot_] = Slot::InUse;
  inUse_ = static_cast<int32_t>(nextSlot_);
  nextSlot_ = (nextSlot_ + 1) % kSlots;
  nextOffset_ += size;
  return buffers_[static_cast<size_t>(inUse_)].span().first(size);
}

void ChunkPipeline::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

}  // namespace tvde
