// The raw device layer on image files: transfers at the seek position, the unbuffered
// alignment rules (checked by our own code: Wine ignores them), short reads and TRIM.
#include "base/device.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/page_buffer.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using namespace tvde::testing;

DeviceOpenResult Open(const TempDir& dir, uint32_t sector = 512) {
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadWrite;
  options.sectorSize = sector;
  return OpenDevice(dir.File("disk.img"), options);
}

TEST(Device, TransfersWholeSectorsAtThePositionAndRefusesMisalignedOnes) {
  TempDir dir;
  EXPECT_NE(Open(dir).error, 0u);  // a missing file
  WriteFilledFile(dir.path() / "disk.img", 16 * 1024 + 512, 0x11);
  auto opened = Open(dir);
  ASSERT_NE(opened.device, nullptr) << opened.error;
  Device& device = *opened.device;
  PageBuffer buffer = PageBuffer::Allocate(8192);
  std::memset(buffer.data(), 0xAB, 8192);
  ASSERT_TRUE(device.Seek(8192));
  EXPECT_EQ(device.Write(buffer.span().first(1024)).bytes, 1024u);
  EXPECT_EQ(device.Write(buffer.span().first(512)).bytes, 512u);  // right behind the first
  // Misaligned offset, length or address: refused, nothing written.
  ASSERT_TRUE(device.Seek(100));
  EXPECT_FALSE(device.Write(buffer.span().first(512)).ok);
  EXPECT_FALSE(device.Read(buffer.span().first(512)).ok);
  ASSERT_TRUE(device.Seek(0));
  EXPECT_FALSE(device.Write(buffer.span().first(100)).ok);
  EXPECT_FALSE(device.Read(buffer.span().first(513)).ok);
  EXPECT_FALSE(device.Write(buffer.span().subspan(8, 512)).ok);
  EXPECT_FALSE(device.Read(buffer.span().subspan(256, 512)).ok);
  ASSERT_TRUE(device.Flush());
  // At the end a read returns nothing; across it, what is there.
  ASSERT_TRUE(device.Seek(16 * 1024 + 512));
  EXPECT_TRUE(device.Read(buffer.span().first(512)).ok);
  ASSERT_TRUE(device.Seek(16 * 1024));
  EXPECT_EQ(device.Read(buffer.span().first(1024)).bytes, 512u);
  opened.device.reset();
  const auto bytes = ReadWholeFile(dir.path() / "disk.img");
  EXPECT_TRUE(AllEqual(bytes, 0, 8192, 0x11));
  EXPECT_TRUE(AllEqual(bytes, 8192, 8192 + 1536, 0xAB));
  EXPECT_TRUE(AllEqual(bytes, 8192 + 1536, bytes.size(), 0x11));

  // On a 4096-byte-sector device 512-byte units are misaligned.
  auto large = Open(dir, 4096);
  ASSERT_TRUE(large.device->Seek(4096));
  EXPECT_FALSE(large.device->Write(buffer.span().first(512)).ok);
}

TEST(Device, TrimOfAnImageFile) {
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 1 << 20, 0x22);
  const bool trimmed = Open(dir).device->TrimWholeDevice(1 << 20);
  const auto bytes = ReadWholeFile(dir.path() / "disk.img");
  ASSERT_EQ(bytes.size(), 1u << 20);
#ifdef _WIN32
  EXPECT_FALSE(trimmed);  // a file is no storage device: refused, the data stays
  EXPECT_TRUE(AllEqual(bytes, 0, bytes.size(), 0x22));
#else
  EXPECT_TRUE(trimmed);  // the blocks go back to the file system and read as zeroes
  EXPECT_TRUE(AllEqual(bytes, 0, bytes.size(), 0x00));
#endif
}

// Transfer buffers of every size class (below a huge page, at it, above it and not a whole
// number of pages) live side by side: each is page-aligned, zero-filled and writable to its
// end without touching the other, and on POSIX the byte past its last page faults.
TEST(PageBuffer, BuffersArePageAlignedZeroFilledAndEndAtAGuard) {
  for (const size_t size : {size_t{8192}, size_t{2} << 20, (size_t{4} << 20) + 512}) {
    PageBuffer first = PageBuffer::Allocate(size);
    PageBuffer second = PageBuffer::Allocate(size);
    ASSERT_TRUE(first.valid() && second.valid()) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first.data()) % 4096, 0u);
    EXPECT_TRUE(AllEqual(first.span(), 0, size, 0));
    std::memset(first.data(), 0x5A, size);
    EXPECT_TRUE(AllEqual(second.span(), 0, size, 0));
#ifndef _WIN32
    const size_t pageEnd = (size + 4095) / 4096 * 4096;
    volatile uint8_t* const pastEnd = first.data() + pageEnd;
    EXPECT_DEATH(*pastEnd = 1, "") << size;
#endif
  }
}

}  // namespace
}  // namespace tvde
