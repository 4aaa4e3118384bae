// POSIX device layer: block devices and image files through a file descriptor, opened with
// O_DIRECT for unbuffered access. Durability comes from Flush (fdatasync), which the passes call
// at their end and at fixed intervals: O_DSYNC would make every 4 MiB write wait for a device
// flush and halve the write rate. A path is opened only after it was looked at.
#include <fcntl.h>
#include <linux/falloc.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

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

  std::optional<intptr_t> NativeHandle() const override { return fd_; }

 private:
  int fd_;
  bool unbuffered_;
  uint32_t sectorSize_;
  bool isBlockDevice_;
  uint64_t position_ = 0;
};

// Closes the descriptor it owns.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

DeviceObject Describe(const struct stat& st) {
  DeviceObject object;
  object.fileSystem = {major(st.st_dev), minor(st.st_dev)};
  object.fileNumber = static_cast<uint64_t>(st.st_ino);
  if (S_ISREG(st.st_mode)) {
    object.kind = DeviceKind::RegularFile;
    object.sizeBytes = static_cast<uint64_t>(st.st_size);
  } else if (S_ISBLK(st.st_mode)) {
    object.kind = DeviceKind::BlockDevice;
    object.blockDevice = {major(st.st_rdev), minor(st.st_rdev)};
  } else if (S_ISLNK(st.st_mode)) {
    object.kind = DeviceKind::SymbolicLink;
  } else if (S_ISDIR(st.st_mode)) {
    object.kind = DeviceKind::Folder;
  } else {
    object.kind = DeviceKind::Other;
  }
  return object;
}

// The error an open of this kind of object would give.
uint32_t RefusalError(DeviceKind kind) {
  if (kind == DeviceKind::SymbolicLink) return ELOOP;  // as O_NOFOLLOW answers
  if (kind == DeviceKind::Folder) return EISDIR;
  return ENODEV;
}

int OpenWithDirectFallback(const char* path, int flags, bool unbuffered) {
  int fd = open(path, unbuffered ? flags | O_DIRECT : flags, 0644);
  if (fd < 0 && unbuffered && errno == EINVAL) {
    // File systems such as tmpfs refuse O_DIRECT; keep our own alignment rule.
    fd = open(path, flags, 0644);
  }
  return fd;
}

// A handle that only names the object (O_PATH): nothing is opened for reading or writing.
int OpenPathOnly(const std::string& path, DeviceLinks links) {
  return open(path.c_str(), O_PATH | O_CLOEXEC | (links == DeviceLinks::Refuse ? O_NOFOLLOW : 0));
}

}  // namespace

DeviceObject InspectDevicePath(const std::wstring& path, DeviceLinks links, uint32_t& error) {
  error = 0;
  const std::string narrowPath = WideToUtf8(path);
  if (narrowPath.empty()) {
    error = EINVAL;
    return {};
  }
  const UniqueFd probe(OpenPathOnly(narrowPath, links));
  struct stat st {};
  if (probe.get() < 0 || fstat(probe.get(), &st) != 0) {
    error = static_cast<uint32_t>(errno);
    return {};
  }
  return Describe(st);
}

DeviceOpenResult OpenDevice(const std::wstring& path, const DeviceOpenOptions& options) {
  const std::string narrowPath = WideToUtf8(path);
  if (narrowPath.empty()) return {nullptr, EINVAL, {}};
  int flags =
      O_CLOEXEC | O_NOCTTY | (options.access == DeviceAccess::ReadWrite ? O_RDWR : O_RDONLY);
  const bool unbuffered = options.buffering == DeviceBuffering::Unbuffered;
  if (options.links == DeviceLinks::Refuse) flags |= O_NOFOLLOW;

  int fd = -1;
  if (options.creation == DeviceCreation::CreateNew) {
    // O_EXCL creation never follows a link, not even a dangling one.
    fd = OpenWithDirectFallback(narrowPath.c_str(), flags | O_CREAT | O_EXCL, unbuffered);
  } else if (options.creation == DeviceCreation::CreateAlways) {
    fd = OpenWithDirectFallback(narrowPath.c_str(), flags | O_CREAT | O_TRUNC, unbuffered);
  } else {
    // The path is looked up once, into a handle that only names the object; a pipe or a
    // character device is never opened (an open alone can block, or start a device), and the
    // real open goes through that handle, so it reaches the object that was looked at.
    const UniqueFd probe(OpenPathOnly(narrowPath, options.links));
    struct stat st {};
    if (probe.get() < 0 || fstat(probe.get(), &st) != 0) {
      return {nullptr, static_cast<uint32_t>(errno), {}};
    }
    const DeviceObject found = Describe(st);
    if (found.kind != DeviceKind::RegularFile && found.kind != DeviceKind::BlockDevice) {
      return {nullptr, RefusalError(found.kind), found};
    }
    if (found.kind == DeviceKind::BlockDevice && options.claim == DeviceClaim::Exclusive) {
      flags |= O_EXCL;
    }
    const std::string handlePath = "/proc/self/fd/" + std::to_string(probe.get());
    fd = OpenWithDirectFallback(handlePath.c_str(), flags & ~O_NOFOLLOW, unbuffered);
  }
  if (fd < 0) return {nullptr, static_cast<uint32_t>(errno), {}};
  UniqueFd owned(fd);

  struct stat st {};
  if (fstat(fd, &st) != 0) return {nullptr, static_cast<uint32_t>(errno), {}};
  const DeviceObject object = Describe(st);
  if (object.kind != DeviceKind::RegularFile && object.kind != DeviceKind::BlockDevice) {
    return {nullptr, RefusalError(object.kind), object};
  }
  const uint32_t sector = options.sectorSize == 0 ? 512 : options.sectorSize;
  return {std::make_unique<PosixDevice>(owned.release(), unbuffered, sector,
                                        object.kind == DeviceKind::BlockDevice),
          0, object};
}

uint32_t UnbufferedFileSectorSize(const std::wstring&) {
  return 0;
}

}  // namespace tvde
