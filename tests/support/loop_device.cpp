// Loop devices and mounts for the block-device tests.
#include "support/loop_device.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace tvde::testing {

std::optional<std::string> RunShell(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe) != nullptr)
    out += buffer;
  if (pclose(pipe) != 0) return std::nullopt;
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
    out.pop_back();
  return out;
}

std::string LoopDevicesUnavailable() {
  if (geteuid() != 0) return "SKIPPED: loop devices need root; no block device was tried";
  if (!RunShell("losetup --version >/dev/null 2>&1")) return "SKIPPED: losetup is not available";
  return {};
}

LoopDevice::LoopDevice(const std::string& file, uint32_t sectorSize, bool partitions)
    : partitions_(partitions) {
  const auto path = RunShell("losetup --find --show --sector-size " + std::to_string(sectorSize) +
                             (partitions ? " --partscan '" : " '") + file + "' 2>/dev/null");
  struct stat st {};
  if (path && stat(path->c_str(), &st) == 0 && S_ISBLK(st.st_mode)) path_ = *path;
}

LoopDevice::~LoopDevice() {
  if (path_.empty()) return;
  if (partitions_) RunShell("partx -d '" + path_ + "' >/dev/null 2>&1");
  RunShell("losetup -d '" + path_ + "'");
}

Mount::Mount(const std::string& device, const std::string& folder) : folder_(folder) {
  mounted_ = RunShell("mkfs.ext2 -q -F '" + device + "' >/dev/null 2>&1 && mount '" + device +
                      "' '" + folder + "' 2>/dev/null")
                 .has_value();
}

Mount Mount::Tmpfs(const std::string& folder, size_t kib) {
  return Mount(folder, RunShell("mkdir -p '" + folder + "' && mount -t tmpfs -o size=" +
                                std::to_string(kib) + "k tmpfs '" + folder + "'")
                           .has_value());
}

Mount Mount::Overlay(const std::string& base) {
  const std::string b = "'" + base;
  return Mount(
      base + "/merged",
      RunShell("mkdir -p " + b + "/lower' " + b + "/upper' " + b + "/work' " + b +
               "/merged' && mount -t overlay overlay -o " + "lowerdir=" + b +
               "/lower',upperdir=" + b + "/upper'," + "workdir=" + b + "/work' " + b + "/merged'")
          .has_value());
}

Mount::~Mount() {
  if (mounted_) RunShell("umount '" + folder_ + "'");
}

}  // namespace tvde::testing
