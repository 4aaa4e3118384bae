// Portable part of target handling: image files through the standard file system library,
// and the description of a block device's disk from its kernel facts.
#include "cli_target.h"

#include <fstream>
#include <system_error>

#include "base/text.h"

namespace tvde::cli {
namespace {

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  const size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

void DescribeBlockDisk(const BlockDiskFacts& facts, TargetInfo& info) {
  const std::string vendor = Trimmed(facts.vendor);
  const std::string model = Trimmed(facts.model);
  const std::string& name = facts.kernelName;
  const bool loop = StartsWith(name, "loop");
  // SATA disks behind the SCSI layer all report the vendor "ATA", which says nothing.
  if (!model.empty()) {
    info.model = vendor.empty() || vendor == "ATA" ? model : vendor + " " + model;
  } else if (loop) {
    info.model = "Loop Device";
  } else {
    info.model = vendor.empty() ? name : vendor;
  }
  info.serial = Trimmed(facts.serial);

  if (StartsWith(name, "nvme")) {
    info.bus = BusKind::Nvme;
  } else if (StartsWith(name, "mmcblk")) {
    info.bus = BusKind::Mmc;
  } else if (loop || StartsWith(name, "vd") || Contains(facts.sysfsPath, "/virtio")) {
    info.bus = BusKind::Virtual;
  } else if (StartsWith(name, "md") || StartsWith(name, "dm-")) {
    info.bus = BusKind::Raid;
  } else if (Contains(facts.sysfsPath, "/usb")) {
    info.bus = BusKind::Usb;
  } else if (Contains(facts.sysfsPath, "/ata")) {
    info.bus = BusKind::Sata;
  } else {
    info.bus = BusKind::Unknown;
  }

  // A loop device is a file somewhere, neither spinning nor flash: it keeps Standard, as does
  // a disk that does not say.
  info.media = MediaKind::Standard;
  if (info.bus == BusKind::Nvme) {
    info.media = MediaKind::NvmeSsd;
  } else if (loop) {
    return;
  } else if (facts.removable == 1 || info.bus == BusKind::Usb || info.bus == BusKind::Mmc) {
    info.media = MediaKind::Removable;
  } else if (facts.rotational == 1) {
    info.media = MediaKind::Hdd;
  } else if (facts.rotational == 0) {
    info.media = MediaKind::Ssd;
  }
}

std::filesystem::path FsPath(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(Utf8ToWide(utf8));
#else
  return std::filesystem::path(utf8);
#endif
}

std::string FileNameOf(const std::string& utf8) {
#ifdef _WIN32
  return WideToUtf8(FsPath(utf8).filename().wstring());
#else
  return FsPath(utf8).filename().string();
#endif
}

bool EnsureImageFile(const std::string& path, uint64_t minimumLength, std::string& error) {
  const std::filesystem::path fsPath = FsPath(path);
  std::error_code ec;
  if (!std::filesystem::exists(fsPath, ec)) {
    std::ofstream create(fsPath, std::ios::binary | std::ios::app);
    if (!create) {
      error = "cannot create '" + path + "'";
      return false;
    }
  }
  const uintmax_t size = std::filesystem::file_size(fsPath, ec);
  if (ec) {
    error = "cannot read the size of '" + path + "': " + ec.message();
    return false;
  }
  if (size < minimumLength) {
    std::filesystem::resize_file(fsPath, minimumLength, ec);
    if (ec) {
      error = "cannot extend '" + path + "': " + ec.message();
      return false;
    }
  }
  return true;
}

}  // namespace tvde::cli
