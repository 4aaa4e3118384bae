// Opening a command-line target once and judging it by what was opened.
#include "cli_target.h"

#include "base/system_error.h"
#include "base/text.h"
#include "cli_command.h"

namespace tvde::cli {

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

namespace {

// Which way to look the path up: a file to be written is never reached through a link; a
// block device may be (by-id names), and so may anything only read.
bool ChooseLinks(const std::string& path, const std::wstring& wide, Access access,
                 DeviceLinks& links, DeviceObject& found, std::string& error) {
  uint32_t code = 0;
  found = InspectDevicePath(wide, DeviceLinks::Refuse, code);
  links = DeviceLinks::Refuse;
  if (found.kind == DeviceKind::Missing) {
    if (IsNotFoundError(code) && access == Access::WriteOrCreate) return true;
    error = DescribeOpenError(path, code);
    return false;
  }
  if (found.kind != DeviceKind::SymbolicLink) return true;
  const DeviceObject through = InspectDevicePath(wide, DeviceLinks::Follow, code);
  if (through.kind == DeviceKind::Missing) {
    error = IsNotFoundError(code)
                ? Quoted(path) + " is a symbolic link to nothing; give the path of the file itself"
                : DescribeOpenError(path, code);
    return false;
  }
  if (through.kind == DeviceKind::RegularFile && access != Access::Read) {
    error = Quoted(path) + " is a symbolic link; give the path of the image file itself";
    return false;
  }
  links = DeviceLinks::Follow;
  found = through;
  return true;
}

bool CheckKind(const std::string& path, const DeviceObject& found, Access access, const Args& args,
               std::string& error) {
  switch (found.kind) {
    case DeviceKind::Missing:
    case DeviceKind::RegularFile:
      return true;
    case DeviceKind::BlockDevice:
      if (!BlockDevicesSupported()) {
        error = Quoted(path) + " is a block device; this build works on image files only";
        return false;
      }
      if (access != Access::Read && !args.Flag("--block-device")) {
        error = Quoted(path) + " is a block device; pass --block-device to write to it";
        return false;
      }
      return true;
    case DeviceKind::Folder:
      error = Quoted(path) + " is a folder";
      return false;
    case DeviceKind::SymbolicLink:
    case DeviceKind::Other:
      break;
  }
  error = Quoted(path) + " is not a regular file" +
          (BlockDevicesSupported() ? std::string(" or block device") : std::string());
  return false;
}

bool SameObject(const DeviceObject& a, const DeviceObject& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == DeviceKind::BlockDevice) return a.blockDevice == b.blockDevice;
  return a.fileSystem == b.fileSystem && a.fileNumber == b.fileNumber;
}

bool ChooseSectorSize(const std::string& path, const Target& target, const Args& args,
                      uint32_t& sector, std::string& error) {
  sector = args.sectorSize != 0 ? args.sectorSize : 512;
  // Unbuffered I/O on a block device, or on a file of a volume with larger sectors (Windows),
  // takes nothing smaller than the logical sector size.
  uint32_t logical = 0;
  if (target.object.kind == DeviceKind::BlockDevice) {
    logical = target.disk.bytesPerSector;  // as the device's disk reports it
  } else if (target.object.kind == DeviceKind::RegularFile) {
    logical = UnbufferedFileSectorSize(target.disk.devicePath);
  }
  if (logical == 0) return true;
  if (args.sectorSize == 0) sector = logical;
  if (sector < logical) {
    error = "--sector-size " + std::to_string(sector) + " is smaller than the logical sector " +
            "size of " + Quoted(path) + " (" + std::to_string(logical) + ")";
    return false;
  }
  return true;
}

void DescribeFile(const Target& target, DiskInfo& disk) {
  disk.model = L"Image File";
  const std::wstring name = FsPath(target.given).filename().wstring();
  disk.serialNumber = name.empty() ? Utf8ToWide(target.given) : name;
  disk.mediaType = MediaKind::Standard;
  disk.busType = BusKind::Unknown;
  disk.sizeBytes = target.object.sizeBytes;
  disk.safetyStatus = SafetyStatus::Erasable;
}

}  // namespace

std::string WriteRefusal(const DiskInfo& disk, const std::string& given) {
  if (AllowsWrite(disk.safetyStatus)) return {};
  const std::string reason = disk.safetyReason.empty()
                                 ? WideToUtf8(SafetyStatusLabel(disk.safetyStatus))
                                 : WideToUtf8(disk.safetyReason);
  return "refusing to write to " + Quoted(given) + ": " + reason;
}

bool OpenTarget(const std::string& path, Access access, Opening opening, const Args& args,
                Target& target, std::string& error) {
  target = Target{};
  target.given = path;
  if (path.empty()) {
    error = "the target path is empty";
    return false;
  }
  const std::wstring wide = Utf8ToWide(path);
  if (wide.empty()) {
    error = "the path " + Quoted(path) + " is not valid UTF-8";
    return false;
  }
  if (RefusedByName(path, error)) return false;
  DeviceLinks links = DeviceLinks::Refuse;
  if (!ChooseLinks(path, wide, access, links, target.object, error) ||
      !CheckKind(path, target.object, access, args, error)) {
    return false;
  }
  DiskInfo& disk = target.disk;
  disk.diskNumber = -1;
  disk.devicePath = wide;
  // A block device is judged by its number before the open, which the exclusive claim would
  // refuse with a less telling answer; the open must then reach that very device.
  if (target.object.kind == DeviceKind::BlockDevice &&
      !DescribeBlockTarget(target, access, disk, error)) {
    return false;
  }
  uint32_t sector = 512;
  if (!ChooseSectorSize(path, target, args, sector, error)) return false;

  if (opening == Opening::Open) {
    DeviceOpenOptions options;
    options.access = access == Access::Read ? DeviceAccess::ReadOnly : DeviceAccess::ReadWrite;
    options.creation = target.object.kind == DeviceKind::Missing ? DeviceCreation::CreateNew
                                                                 : DeviceCreation::OpenExisting;
    options.buffering = DeviceBuffering::Unbuffered;
    options.sectorSize = sector;
    options.links = links;
    options.claim = access == Access::Read ? DeviceClaim::Shared : DeviceClaim::Exclusive;
    DeviceOpenResult opened = OpenDevice(wide, options);
    if (opened.device == nullptr) {
      error = DescribeOpenError(path, opened.error);
      return false;
    }
    // What was opened must be what was looked at: a name changed in between is refused.
    const bool created = target.object.kind == DeviceKind::Missing;
    if (!created && !SameObject(target.object, opened.object)) {
      error = Quoted(path) + " changed while it was being opened; nothing was written";
      return false;
    }
    target.created = created;
    target.object = opened.object;
    target.device = std::move(opened.device);
  }

  disk.bytesPerSector = sector;
  if (target.object.kind == DeviceKind::BlockDevice) {
    uint64_t length = 0;
    if (target.device != nullptr && target.device->QueryLength(length)) disk.sizeBytes = length;
    return true;
  }
  DescribeFile(target, disk);
  const std::string inUse = FileTargetInUse(target.object);
  if (access != Access::Read && !inUse.empty()) {
    error = "refusing to write to " + Quoted(path) + ": " + inUse;
    return false;
  }
  return true;
}

}  // namespace tvde::cli
