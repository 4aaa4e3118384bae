// Windows page allocator: VirtualAlloc (committed, read-write, zero-filled).
#include <windows.h>

#include "base/page_buffer.h"

namespace tvde {

PageBuffer PageBuffer::Allocate(size_t size) {
  if (size == 0) return {};
  void* memory = VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (memory == nullptr) return {};
  return PageBuffer(static_cast<uint8_t*>(memory), size);
}

void PageBuffer::Release() {
  if (data_ != nullptr) VirtualFree(data_, 0, MEM_RELEASE);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace tvde
