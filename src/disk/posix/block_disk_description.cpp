// The model, serial, bus and media kind of a Linux disk from its kernel name and sysfs facts.
#include <string>

#include "base/text.h"
#include "disk/posix/block_devices.h"

namespace tvde {
namespace {

std::string Trimmed(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

void DescribeBlockDisk(const BlockDiskFacts& facts, DiskInfo& disk) {
  // virtio answers with its PCI vendor number ("0x1af4"), which names no maker.
  const std::string vendor = facts.vendor.rfind("0x", 0) == 0 ? "" : Trimmed(facts.vendor);
  const std::string model = Trimmed(facts.model);
  const std::string& name = facts.kernelName;
  const bool loop = StartsWith(name, "loop");
  // SATA disks behind the SCSI layer all report the vendor "ATA", which says nothing.
  std::string text;
  if (!model.empty()) {
    text = vendor.empty() || vendor == "ATA" ? model : vendor + " " + model;
  } else if (loop) {
    text = "Loop Device";
  } else {
    text = vendor.empty() ? name : vendor;
  }
  disk.model = Utf8ToWide(text);
  const std::string serial = Trimmed(facts.serial);
  if (!serial.empty()) disk.serialNumber = Utf8ToWide(serial);

  if (StartsWith(name, "nvme")) {
    disk.busType = BusKind::Nvme;
  } else if (StartsWith(name, "mmcblk")) {
    disk.busType = BusKind::Mmc;
  } else if (loop || StartsWith(name, "vd") || Contains(facts.sysfsPath, "/virtio")) {
    disk.busType = BusKind::Virtual;
  } else if (StartsWith(name, "md") || StartsWith(name, "dm-")) {
    disk.busType = BusKind::Raid;
  } else if (Contains(facts.sysfsPath, "/usb")) {
    disk.busType = BusKind::Usb;
  } else if (Contains(facts.sysfsPath, "/ata")) {
    disk.busType = BusKind::Sata;
  } else {
    disk.busType = BusKind::Unknown;
  }

  // A loop device is a file somewhere, neither spinning nor flash: it keeps Standard, as does
  // a disk that does not say.
  disk.mediaType = MediaKind::Standard;
  if (disk.busType == BusKind::Nvme) {
    disk.mediaType = MediaKind::NvmeSsd;
  } else if (loop) {
    return;
  } else if (facts.removable == 1 || disk.busType == BusKind::Usb || disk.busType == BusKind::Mmc) {
    disk.mediaType = MediaKind::Removable;
  } else if (facts.rotational == 1) {
    disk.mediaType = MediaKind::Hdd;
  } else if (facts.rotational == 0) {
    disk.mediaType = MediaKind::Ssd;
  }
}

}  // namespace tvde
