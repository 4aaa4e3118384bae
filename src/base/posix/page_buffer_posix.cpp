// POSIX page allocator: anonymous mmap (page-aligned and zero-filled, like VirtualAlloc), with
// an inaccessible guard page behind the buffer so that a transfer running past its end faults
// at once instead of overwriting whatever lies next in memory.
#include <sys/mman.h>
#include <unistd.h>

#include "base/page_buffer.h"

namespace tvde {
namespace {

size_t PageSize() {
  const long page = sysconf(_SC_PAGESIZE);
  return page > 0 ? static_cast<size_t>(page) : 4096;
}

size_t UsableLength(size_t size) {
  const size_t page = PageSize();
  return (size + page - 1) / page * page;
}

}  // namespace

PageBuffer PageBuffer::Allocate(size_t size) {
  if (size == 0) return {};
  const size_t usable = UsableLength(size);
  void* memory = mmap(nullptr, usable + PageSize(), PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return {};
  auto* bytes = static_cast<uint8_t*>(memory);
  if (mprotect(bytes + usable, PageSize(), PROT_NONE) != 0) {
    munmap(memory, usable + PageSize());
    return {};
  }
  return PageBuffer(bytes, size);
}

void PageBuffer::Release() {
  if (data_ != nullptr) munmap(data_, UsableLength(size_) + PageSize());
  data_ = nullptr;
  size_ = 0;
}

}  // namespace tvde
