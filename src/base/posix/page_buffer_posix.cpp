// POSIX page allocator: anonymous mmap (page-aligned and zero-filled, like VirtualAlloc).
#include <sys/mman.h>

#include "base/page_buffer.h"

namespace tvde {

PageBuffer PageBuffer::Allocate(size_t size) {
  if (size == 0) return {};
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return {};
  return PageBuffer(static_cast<uint8_t*>(memory), size);
}

void PageBuffer::Release() {
  if (data_ != nullptr) munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace tvde
