// Writing and erasing the stamp area through the device layer.
#include "stamp/stamp_writer.h"

#include <algorithm>
#include <optional>

#include "base/host_environment.h"
#include "base/page_buffer.h"
#include "disk/working_paths.h"
#include "erase/volume_lock.h"
#include "stamp/stamp_detect.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_layout.h"
#include "stamp/stamp_texts.h"

namespace tvde {
namespace {

// One seek, one write of the whole buffer, then flush and ask the system to re-read the
// partition table (that request fails harmlessly on image files).
bool WriteFromStart(Device& device, std::span<const uint8_t> buffer) {
  bool written = false;
  // Never write when the position is unknown: the stamp would land somewhere in the data.
  if (device.Seek(0)) {
    const IoResult result = device.Write(buffer);
    written = result.ok && result.bytes == buffer.size();
  }
  const bool flushed = device.Flush();
  device.UpdateProperties();
  return written && flushed;
}

DeviceOpenResult OpenDiskForWrite(const DiskInfo& disk) {
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadWrite;
  options.creation = DeviceCreation::OpenExisting;
  options.buffering = DeviceBuffering::Unbuffered;
  options.sectorSize = std::max<uint32_t>(512, disk.bytesPerSector);
  return OpenDevice(disk.devicePath, options);
}

// Under Wine a disk or volume path reaches one of the host's real devices.
bool RefusedUnderWine(const DiskInfo& disk, const LogCallback& log) {
  if (!IsWineHostDevicePath(disk.devicePath)) return false;
  EmitLog(log, kLogStampRefusedUnderWine + disk.devicePath);
  return true;
}

// What the disk says now: a write that the device confirmed can still have gone nowhere (a
// device that drops writes, a path that names something else than the caller thinks).
bool StampReadsBackAs(Device& device, uint32_t bytesPerSector, const std::wstring& certificateId) {
  StampPayload readBack;
  return ReadStampRecord(device, bytesPerSector, readBack) && readBack.incomplete == 0 &&
         readBack.certificateId == certificateId;
}

bool NoStampReadsBack(Device& device, uint32_t bytesPerSector) {
  StampPayload readBack;
  return !ReadStampRecord(device, bytesPerSector, readBack);
}

// The disk taken away from the file system for a stamp operation (the stamp's own FAT volume
// may be mounted by then), or nothing, logged, when a folder the program needs lies on it or
// one of its volumes cannot be taken away.
std::optional<VolumeLockList> TakeDiskAway(const DiskInfo& disk, const LogCallback& log) {
  const std::vector<std::wstring> held = WorkingPathsOnDisk(disk, {});
  if (!held.empty()) {
    EmitLog(log, kLogStampWorkingFolderOnDisk + held.front());
    return std::nullopt;
  }
  VolumeLockList volumes = LockAndDismountVolumes(disk, log);
  if (!volumes.inUse.empty()) {
    ReleaseVolumes(volumes);
    EmitLog(log, kLogStampVolumesInUse);
    return std::nullopt;
  }
  return volumes;
}

}  // namespace

bool StampKeepsCertificateId(const StampPayload& payload) {
  StampPayload readBack;
  return ApplyStampRecord(BuildStampRecord(payload), readBack) &&
         readBack.certificateId == payload.certificateId;
}

bool WriteStampImage(Device& device, uint32_t bytesPerSector, const StampPayload& payload,
                     const LogCallback& log, const BootPrograms& programs) {
  if (!StampKeepsCertificateId(payload)) {
    EmitLog(log, kLogStampIdNotStorable);
    return false;
  }
  if (EspGeometryFor(bytesPerSector) == nullptr) {
    EmitLog(log, kLogStampSectorSizeUnsupported + std::to_wstring(bytesPerSector) + L" バイト)。");
    return false;
  }
  const PageBuffer image = BuildStampImage(payload, bytesPerSector, programs);
  if (!image.valid()) return false;
  if (!WriteFromStart(device, image.span())) return false;
  if (!StampReadsBackAs(device, bytesPerSector, payload.certificateId)) {
    EmitLog(log, kLogStampReadBackFailed);
    return false;
  }
  EmitLog(log, kLogStampWritten);
  return true;
}

bool WriteDiskStamp(const DiskInfo& disk, const StampPayload& payload, const LogCallback& log,
                    const BootPrograms& programs) {
  // A stamp over a protected disk would destroy its boot sectors: refuse before any open.
  if (!AllowsWrite(disk.safetyStatus)) {
    EmitLog(log, kLogStampWriteRefused);
    return false;
  }
  if (RefusedUnderWine(disk, log)) return false;
  const std::optional<VolumeLockList> volumes = TakeDiskAway(disk, log);
  if (!volumes) return false;
  DeviceOpenResult opened = OpenDiskForWrite(disk);  // closed before the volumes are released
  if (opened.device == nullptr) return false;
  return WriteStampImage(*opened.device, disk.bytesPerSector, payload, log, programs);
}

bool EraseDiskStamp(const DiskInfo& disk, const LogCallback& log) {
  if (!AllowsWrite(disk.safetyStatus)) {
    EmitLog(log, kLogStampEraseRefused);
    return false;
  }
  if (RefusedUnderWine(disk, log)) return false;
  const std::optional<VolumeLockList> volumes = TakeDiskAway(disk, log);
  if (!volumes) return false;
  DeviceOpenResult opened = OpenDiskForWrite(disk);
  if (opened.device == nullptr) return false;
  opened.device->DeleteDriveLayout();  // the system forgets the partition; result irrelevant
  const PageBuffer zeros = PageBuffer::Allocate(StampImageLength(disk.bytesPerSector));
  if (!zeros.valid()) return false;
  if (!WriteFromStart(*opened.device, zeros.span())) return false;
  if (!NoStampReadsBack(*opened.device, disk.bytesPerSector)) {
    EmitLog(log, kLogStampEraseReadBackFailed);
    return false;
  }
  EmitLog(log, kLogStampErased);
  return true;
}

}  // namespace tvde
