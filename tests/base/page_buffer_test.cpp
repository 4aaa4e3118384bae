// Page-aligned buffers for unbuffered I/O.
#include "base/page_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace tvde {
namespace {

TEST(PageBuffer, IsPageAlignedAndZeroFilled) {
  PageBuffer buffer = PageBuffer::Allocate(4 * 1024 * 1024);
  ASSERT_TRUE(buffer.valid());
  EXPECT_EQ(buffer.size(), 4u * 1024 * 1024);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.data()) % 4096, 0u);
  for (size_t i = 0; i < buffer.size(); i += 4093)
    ASSERT_EQ(buffer.data()[i], 0) << i;
  buffer.data()[buffer.size() - 1] = 0x5A;  // the whole range is writable
  EXPECT_EQ(buffer.span().back(), 0x5A);
}

TEST(PageBuffer, ZeroSizeGivesAnInvalidBuffer) {
  PageBuffer buffer = PageBuffer::Allocate(0);
  EXPECT_FALSE(buffer.valid());
  EXPECT_EQ(buffer.size(), 0u);
}

TEST(PageBuffer, MovingTransfersOwnership) {
  PageBuffer a = PageBuffer::Allocate(8192);
  uint8_t* raw = a.data();
  PageBuffer b = std::move(a);
  EXPECT_FALSE(a.valid());  // NOLINT(bugprone-use-after-move): checking the moved-from state
  EXPECT_EQ(b.data(), raw);
  PageBuffer c = PageBuffer::Allocate(4096);
  c = std::move(b);
  EXPECT_EQ(c.data(), raw);
  EXPECT_EQ(c.size(), 8192u);
}

}  // namespace
}  // namespace tvde
