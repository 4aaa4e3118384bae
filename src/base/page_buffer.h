#pragma once
// Zero-filled, page-aligned memory from the OS page allocator, as unbuffered disk I/O needs.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tvde {

class PageBuffer {
 public:
  PageBuffer() = default;
  // An empty (invalid) buffer when the allocation fails or size is 0.
  static PageBuffer Allocate(size_t size);

  PageBuffer(PageBuffer&& other) noexcept;
  PageBuffer& operator=(PageBuffer&& other) noexcept;
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  ~PageBuffer();

  bool valid() const { return data_ != nullptr; }
  uint8_t* data() { return data_; }
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }
  std::span<uint8_t> span() { return {data_, size_}; }
  std::span<const uint8_t> span() const { return {data_, size_}; }

 private:
  PageBuffer(uint8_t* data, size_t size) : data_(data), size_(size) {}
  void Release();

  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace tvde
