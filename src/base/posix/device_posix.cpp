// POSIX device layer: block devices and image files through a file descriptor, opened with
// O_DIRECT for unbuffered access. Durability comes from Flush (fdatasync), which the passes call
// at their end and at fixed intervals: O_DSYNC would make every 4 MiB write wait for a device
// flush and halve the write rate.
#include <fcntl.h>
#include <linux/falloc.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "base/device.h"
#include "base/text.h"

namespace tvde {
namespace {

class PosixDevice final : public Device {
 public:
  PosixDevice(int fd, bool unbuffered, uint32_t sectorSize, bool isBlockDevice)
      : fd_(fd), unbuffered_(unbuffered), sectorSize_(sectorSize), isBlockDevice_(isBlockDevice) {}
  PosixDevice(const PosixDevice&) = delete;
  PosixDevice& operator=(const PosixDevice&) = delete;
  ~PosixDevice() override { close(fd_); }

  bool Seek(uint64_t offset) override {
    if (lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
    position_ = offset;
    return true;
  }

  IoResult Read(std::span<uint8_t> buffer) override {
    if (unbuffered_ && !IsSectorAligned(position_, buffer.size(), buffer.data(), sectorSize_)) {
      return {false, 0, EINVAL};
    }
    ssize_t n;
    do {
      n = read(fd_, buffer.data(), buffer.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) return {false, 0, static_cast<uint32_t>(errno)};
    position_ += static_cast<uint64_t>(n);
    return {true, static_cast<size_t>(n), 0};
  }

  IoResult Write(std::span<const uint8_t> data) override {
    if (unbuffered_ && !IsSectorAligned(position_, data.size(), data.data(), sectorSize_)) {
      return {false, 0, EINVAL};
    }
    ssize_t n;
    do {
      n = write(fd_, data.data(), data.size());
    } while (n < 0 && errno == EINTR);
    if (n < 0) return {false, 0, static_cast<uint32_t>(errno)};
    position_ += static_cast<uint64_t>(n);
    return {true, static_cast<size_t>(n), 0};
  }

  bool Flush() override { return fdatasync(fd_) == 0; }

  bool TrimWholeDevice(uint64_t sizeBytes) override {
    if (isBlockDevice_) {
      uint64_t range[2] = {0, sizeBytes};
      return ioctl(fd_, BLKDISCARD, &range) == 0;
    }
    // An image file gives its blocks back to the file system instead.
    return fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0,
                     static_cast<off_t>(sizeBytes)) == 0;
  }

  bool DeleteDriveLayout() override { return false; }

  bool UpdateProperties() override { return isBlockDevice_ && ioctl(fd_, BLKRRPART) == 0; }

  bool QueryLength(uint64_t& lengthBytes) override {
    if (isBlockDevice_) return ioctl(fd_, BLKGETSIZE64, &lengthBytes) == 0;
    struct stat st {};
    if (fstat(fd_, &st) != 0) return false;
    lengthBytes = static_cast<uint64_t>(st.st_size);
    return true;
  }

 private:
  int fd_;
  bool unbuffered_;
  uint32_t sectorSize_;
  bool isBlockDevice_;
  uint64_t position_ = 0;
};

}  // namespace

DeviceOpenResult OpenDevice(const std::wstring& path, const DeviceOpenOptions& options) {
  const std::string narrowPath = WideToUtf8(path);
  if (narrowPath.empty()) return {nullptr, EINVAL};
  int flags = O_CLOEXEC | (options.access == DeviceAccess::ReadWrite ? O_RDWR : O_RDONLY);
  if (options.creation == DeviceCreation::CreateAlways) flags |= O_CREAT | O_TRUNC;
  const bool unbuffered = options.buffering == DeviceBuffering::Unbuffered;

  int fd = open(narrowPath.c_str(), unbuffered ? flags | O_DIRECT : flags, 0644);
  if (fd < 0 && unbuffered && errno == EINVAL) {
    // File systems such as tmpfs refuse O_DIRECT; keep our own alignment rule.
    fd = open(narrowPath.c_str(), flags, 0644);
  }
  if (fd < 0) return {nullptr, static_cast<uint32_t>(errno)};

  struct stat st {};
  const bool isBlockDevice = fstat(fd, &st) == 0 && S_ISBLK(st.st_mode);
  const uint32_t sector = options.sectorSize == 0 ? 512 : options.sectorSize;
  return {std::make_unique<PosixDevice>(fd, unbuffered, sector, isBlockDevice), 0};
}

uint32_t UnbufferedFileSectorSize(const std::wstring&) {
  return 0;
}

}  // namespace tvde
