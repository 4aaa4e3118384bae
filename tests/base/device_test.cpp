// The raw device layer on image files: unbuffered alignment rules, transfers, positions.
#include "base/device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/page_buffer.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace tvde {
namespace {

using testing::AllEqual;
using testing::ReadWholeFile;
using testing::TempDir;
using testing::WriteFilledFile;

DeviceOpenOptions ReadWrite(DeviceCreation creation = DeviceCreation::OpenExisting,
                            uint32_t sector = 512) {
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadWrite;
  options.creation = creation;
  options.sectorSize = sector;
  return options;
}

TEST(Device, WritesAndReadsAlignedSectorsAtTheSeekPosition) {
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 64 * 1024, 0x11);
  auto opened = OpenDevice(dir.File("disk.img"), ReadWrite());
  ASSERT_NE(opened.device, nullptr) << opened.error;
  Device& device = *opened.device;

  PageBuffer buffer = PageBuffer::Allocate(4096);
  std::memset(buffer.data(), 0xAB, 4096);
  ASSERT_TRUE(device.Seek(8192));
  const IoResult written = device.Write(buffer.span().first(1024));
  ASSERT_TRUE(written.ok);
  EXPECT_EQ(written.bytes, 1024u);
  // The position advanced: the next write lands right behind the first.
  std::memset(buffer.data(), 0xCD, 512);
  ASSERT_TRUE(device.Write(buffer.span().first(512)).ok);
  ASSERT_TRUE(device.Flush());

  PageBuffer readBack = PageBuffer::Allocate(4096);
  ASSERT_TRUE(device.Seek(8192 - 512));
  const IoResult read = device.Read(readBack.span().first(2048));
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.bytes, 2048u);
  EXPECT_EQ(readBack.data()[0], 0x11);
  EXPECT_EQ(readBack.data()[512], 0xAB);
  EXPECT_EQ(readBack.data()[1535], 0xAB);
  EXPECT_EQ(readBack.data()[1536], 0xCD);
  EXPECT_EQ(readBack.data()[2047], 0xCD);
  opened.device.reset();

  const auto bytes = ReadWholeFile(dir.path() / "disk.img");
  ASSERT_EQ(bytes.size(), 64u * 1024);
  EXPECT_EQ(bytes[8191], 0x11);
  EXPECT_EQ(bytes[8192], 0xAB);
  EXPECT_EQ(bytes[9216], 0xCD);
  EXPECT_EQ(bytes[9728], 0x11);
}

TEST(Device, UnbufferedHandleRefusesMisalignedOffsetLengthAndAddress) {
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 16 * 1024, 0x00);
  auto opened = OpenDevice(dir.File("disk.img"), ReadWrite());
  ASSERT_NE(opened.device, nullptr);
  Device& device = *opened.device;
  PageBuffer buffer = PageBuffer::Allocate(8192);

  ASSERT_TRUE(device.Seek(100));  // misaligned offset
  EXPECT_FALSE(device.Write(buffer.span().first(512)).ok);
  EXPECT_FALSE(device.Read(buffer.span().first(512)).ok);

  ASSERT_TRUE(device.Seek(0));
  EXPECT_FALSE(device.Write(buffer.span().first(100)).ok);  // misaligned length
  EXPECT_FALSE(device.Read(buffer.span().first(513)).ok);
  EXPECT_FALSE(device.Write(buffer.span().subspan(8, 512)).ok);  // misaligned address
  EXPECT_FALSE(device.Read(buffer.span().subspan(256, 512)).ok);
  opened.device.reset();

  const auto bytes = ReadWholeFile(dir.path() / "disk.img");
  EXPECT_TRUE(AllEqual(bytes, 0, bytes.size(), 0));  // nothing was written
}

TEST(Device, AlignmentFollowsTheDeviceSectorSize) {
  TempDir dir;
  WriteFilledFile(dir.path() / "disk4k.img", 32 * 1024, 0x00);
  auto opened = OpenDevice(dir.File("disk4k.img"), ReadWrite(DeviceCreation::OpenExisting, 4096));
  ASSERT_NE(opened.device, nullptr);
  PageBuffer buffer = PageBuffer::Allocate(8192);
  ASSERT_TRUE(opened.device->Seek(512));
  EXPECT_FALSE(opened.device->Write(buffer.span().first(4096)).ok);
  ASSERT_TRUE(opened.device->Seek(4096));
  EXPECT_FALSE(opened.device->Write(buffer.span().first(512)).ok);
  EXPECT_TRUE(opened.device->Write(buffer.span().first(4096)).ok);
}

TEST(Device, BufferedScratchFileAcceptsAnyTransfer) {
  TempDir dir;
  DeviceOpenOptions options = ReadWrite(DeviceCreation::CreateAlways);
  options.buffering = DeviceBuffering::Buffered;
  auto opened = OpenDevice(dir.File("scratch.bin"), options);
  ASSERT_NE(opened.device, nullptr);
  const char text[] = "odd length";
  ASSERT_TRUE(opened.device->Seek(3));
  const IoResult written =
      opened.device->Write({reinterpret_cast<const uint8_t*>(text), sizeof text - 1});
  EXPECT_TRUE(written.ok);
  EXPECT_EQ(written.bytes, sizeof text - 1);
  uint64_t length = 0;
  ASSERT_TRUE(opened.device->QueryLength(length));
  EXPECT_EQ(length, 3 + sizeof text - 1);
}

TEST(Device, CreateAlwaysReplacesAnExistingFile) {
  TempDir dir;
  WriteFilledFile(dir.path() / "old.bin", 4096, 0x78);
  auto opened = OpenDevice(dir.File("old.bin"), ReadWrite(DeviceCreation::CreateAlways));
  ASSERT_NE(opened.device, nullptr);
  uint64_t length = 1;
  ASSERT_TRUE(opened.device->QueryLength(length));
  EXPECT_EQ(length, 0u);
}

TEST(Device, OpeningAMissingFileFailsWithAnErrorCode) {
  TempDir dir;
  auto opened = OpenDevice(dir.File("missing.img"), ReadWrite());
  EXPECT_EQ(opened.device, nullptr);
  EXPECT_NE(opened.error, 0u);
}

TEST(Device, ReadOnlyHandleRefusesWrites) {
  TempDir dir;
  WriteFilledFile(dir.path() / "ro.img", 4096, 0x22);
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadOnly;
  auto opened = OpenDevice(dir.File("ro.img"), options);
  ASSERT_NE(opened.device, nullptr);
  PageBuffer buffer = PageBuffer::Allocate(4096);
  EXPECT_FALSE(opened.device->Write(buffer.span().first(512)).ok);
  ASSERT_TRUE(opened.device->Read(buffer.span().first(4096)).ok);
  EXPECT_EQ(buffer.data()[4095], 0x22);
}

TEST(Device, ReadAtTheEndReturnsZeroBytes) {
  TempDir dir;
  WriteFilledFile(dir.path() / "small.img", 1024, 0x01);
  auto opened = OpenDevice(dir.File("small.img"), ReadWrite());
  ASSERT_NE(opened.device, nullptr);
  PageBuffer buffer = PageBuffer::Allocate(4096);
  ASSERT_TRUE(opened.device->Seek(1024));
  const IoResult read = opened.device->Read(buffer.span().first(512));
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(read.bytes, 0u);
  ASSERT_TRUE(opened.device->Seek(512));
  EXPECT_EQ(opened.device->Read(buffer.span().first(1024)).bytes, 512u);  // short read
}

TEST(Device, TrimOfAnImageFile) {
  TempDir dir;
  WriteFilledFile(dir.path() / "disk.img", 1 << 20, 0xAB);
  auto opened = OpenDevice(dir.File("disk.img"), ReadWrite());
  ASSERT_NE(opened.device, nullptr);
  const bool trimmed = opened.device->TrimWholeDevice(1 << 20);
  opened.device.reset();
  const auto bytes = ReadWholeFile(dir.path() / "disk.img");
  ASSERT_EQ(bytes.size(), 1u << 20);
#ifdef _WIN32
  // A file is no storage device: the request is refused and the data stays.
  EXPECT_FALSE(trimmed);
  EXPECT_TRUE(AllEqual(bytes, 0, bytes.size(), 0xAB));
#else
  // The file's blocks go back to the file system and read as zeroes; the size stays.
  EXPECT_TRUE(trimmed);
  EXPECT_TRUE(AllEqual(bytes, 0, bytes.size(), 0x00));
#endif
}

TEST(Device, IsSectorAlignedChecksAllThreeQuantities) {
  alignas(4096) static uint8_t block[8192];
  EXPECT_TRUE(IsSectorAligned(0, 0, block, 512));
  EXPECT_TRUE(IsSectorAligned(4096, 8192, block, 4096));
  EXPECT_FALSE(IsSectorAligned(4096, 8192, block + 512, 4096));
  EXPECT_FALSE(IsSectorAligned(1, 512, block, 512));
  EXPECT_TRUE(IsSectorAligned(1024, 512, block, 0));  // 0 counts as 512
  EXPECT_FALSE(IsSectorAligned(0, 511, block, 0));
}

}  // namespace
}  // namespace tvde
