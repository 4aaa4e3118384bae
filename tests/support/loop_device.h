#pragma once
// Loop devices over the tests' own image files and file systems mounted on them (Linux, root
// only). Each is undone when its object goes away; no other device is ever touched.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace tvde::testing {

// Standard output of a shell command without trailing line breaks; nullopt when it fails.
std::optional<std::string> RunShell(const std::string& command);

// Why loop-device tests cannot run here (not root, no losetup); empty when they can.
std::string LoopDevicesUnavailable();

class LoopDevice {
 public:
  // `partitions`: let the kernel (or partx) create the partition devices of the image.
  LoopDevice(const std::string& file, uint32_t sectorSize, bool partitions = false);
  LoopDevice(const LoopDevice&) = delete;
  LoopDevice& operator=(const LoopDevice&) = delete;
  ~LoopDevice();
  const std::string& path() const { return path_; }  // empty when losetup failed

 private:
  std::string path_;
  bool partitions_;
};

// An ext2 file system made on `device` and mounted on `folder`, or a tmpfs.
class Mount {
 public:
  Mount(const std::string& device, const std::string& folder);
  Mount(const Mount&) = delete;
  Mount& operator=(const Mount&) = delete;
  ~Mount();
  // A tmpfs of `kib` KiB mounted on `folder`, which it creates.
  static Mount Tmpfs(const std::string& folder, size_t kib);
  // An overlay of `base`/lower and `base`/upper mounted on `base`/merged (all created).
  static Mount Overlay(const std::string& base);
  bool mounted() const { return mounted_; }

 private:
  Mount(std::string folder, bool mounted) : folder_(std::move(folder)), mounted_(mounted) {}
  std::string folder_;
  bool mounted_ = false;
};

}  // namespace tvde::testing
