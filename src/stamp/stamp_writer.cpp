// Writing and erasing the stamp area through the device layer.
#include "stamp/stamp_writer.h"

#include <algorithm>
#include <optional>

#include "base/host_environment.h"
#include "base/page_buffer.h"
#include "base/system_error.h"
#include "disk/working_paths.h"
#include "erase/disk_error_text.h"
#include "erase/opened_disk_check.h"
#include "erase/volume_lock.h"
#include "stamp/stamp_detect.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_layout.h"
#include "stamp/stamp_texts.h"

namespace tvde {
namespace {

// One seek, one write of the whole buffer, then flush and ask the system to re-read the
// partition table (that request fails harmlessly on image files). A failure is logged with
// the system's reason.
bool WriteFromStart(Device& device, std::span<const uint8_t> buffer, const LogCallback& log) {
  bool written = false;
  // Never write when the position is unknown: the stamp would land somewhere in the data.
  if (device.Seek(0)) {
    const IoResult result = device.Write(buffer);
    written = result.ok && result.bytes == buffer.size();
    if (!result.ok) {
      EmitLog(log, L"[ERROR] スタンプ領域 (オフセット 0) への書き込みに失敗しました: " +
                       DescribeDiskError(result.error));
    } else if (!written) {
      EmitLog(log, L"[ERROR] スタンプ領域への書き込みが途中で終わりました: " +
                       std::to_wstring(result.bytes) + L" / " + std::to_wstring(buffer.size()) +
                       L" バイト");
    }
  }
  const bool flushed = device.Flush();
  if (written && !flushed) {
    EmitLog(log, L"[ERROR] スタンプ書き込み後のフラッシュ (書き込み確定) に失敗しました。原因: " +
                     DescribeDiskError(LastSystemError()));
  }
  device.UpdateProperties();
  return written && flushed;
}

// The disk opened at its target path and proven to be the listed one, or nothing, logged.
std::unique_ptr<Device> OpenListedDiskForWrite(const DiskInfo& disk, const LogCallback& log) {
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadWrite;
  options.creation = DeviceCreation::OpenExisting;
  options.buffering = DeviceBuffering::Unbuffered;
  options.sectorSize = std::max<uint32_t>(512, disk.bytesPerSector);
  const std::wstring path = TargetDevicePath(disk);
  DeviceOpenResult opened = OpenDevice(path, options);
  if (opened.device == nullptr) {
    EmitLog(log, L"[ERROR] " + path + L": " + DescribeDiskError(opened.error));
    return nullptr;
  }
  const DiskIdentityCheck identity = CheckOpenedDisk(disk, *opened.device);
  if (!identity.same) {
    EmitLog(log,
            std::wstring(L"[CRITICAL SAFETY] ") + kOpenedDiskDiffersMessage + identity.difference);
    return nullptr;
  }
  return std::move(opened.device);
}

// Under Wine a disk or volume path reaches one of the host's real devices.
bool RefusedUnderWine(const DiskInfo& disk, const LogCallback& log) {
  for (const std::wstring& path : {disk.devicePath, TargetDevicePath(disk)}) {
    if (!IsWineHostDevicePath(path)) continue;
    EmitLog(log, kLogStampRefusedUnderWine + path);
    return true;
  }
  return false;
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
  // Another disk under the listed number keeps its volumes: none is dismounted on its behalf.
  const DiskIdentityCheck listed = CheckListedDisk(disk);
  if (!listed.same) {
    EmitLog(log,
            std::wstring(L"[CRITICAL SAFETY] ") + kOpenedDiskDiffersMessage + listed.difference);
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
  if (!WriteFromStart(device, image.span(), log)) return false;
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
  // Closed before the volumes are released.
  const std::unique_ptr<Device> device = OpenListedDiskForWrite(disk, log);
  if (device == nullptr) return false;
  return WriteStampImage(*device, disk.bytesPerSector, payload, log, programs);
}

bool EraseDiskStamp(const DiskInfo& disk, const LogCallback& log) {
  if (!AllowsWrite(disk.safetyStatus)) {
    EmitLog(log, kLogStampEraseRefused);
    return false;
  }
  if (RefusedUnderWine(disk, log)) return false;
  const std::optional<VolumeLockList> volumes = TakeDiskAway(disk, log);
  if (!volumes) return false;
  const std::unique_ptr<Device> device = OpenListedDiskForWrite(disk, log);
  if (device == nullptr) return false;
  return EraseStampArea(*device, disk.bytesPerSector, log);
}

bool EraseStampArea(Device& device, uint32_t bytesPerSector, const LogCallback& log) {
  device.DeleteDriveLayout();  // the system forgets the partition; result irrelevant
  const PageBuffer zeros = PageBuffer::Allocate(StampImageLength(bytesPerSector));
  if (!zeros.valid()) return false;
  if (!WriteFromStart(device, zeros.span(), log)) return false;
  if (!NoStampReadsBack(device, bytesPerSector)) {
    EmitLog(log, kLogStampEraseReadBackFailed);
    return false;
  }
  EmitLog(log, kLogStampErased);
  return true;
}

}  // namespace tvde
