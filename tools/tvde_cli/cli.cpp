// Command dispatch, argument parsing and the stamp subcommands of the console tool.
#include "cli.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <set>

#include "base/text.h"
#include "cli_payload.h"
#include "cli_target.h"
#include "stamp/stamp_detect.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_writer.h"

namespace tvde::cli {
namespace {

constexpr size_t kMaxPayloadFileBytes = 1 << 20;

struct Args {
  std::string out;
  std::string payloadFile;
  std::vector<std::string> fields;
  uint32_t sectorSize = 0;  // 0: not given
  bool blockDevice = false;
  std::vector<std::string> positional;
};

enum class Access { Read, Write, WriteOrCreate };

bool ParseSectorSize(const std::string& text, uint32_t& size, std::string& error) {
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() ||
      (value != 512 && value != 1024 && value != 2048 && value != 4096)) {
    error = "--sector-size must be 512, 1024, 2048 or 4096, not '" + text + "'";
    return false;
  }
  size = value;
  return true;
}

// Options may be given as "--name value" or "--name=value"; "--" ends the options.
bool ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& allowed,
               Args& parsed, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool hasValue = false;
    if (const size_t equals = arg.find('='); equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      hasValue = true;
    }
    if (allowed.count(name) == 0) {
      error = "unknown option '" + name + "' for " + args[0];
      return false;
    }
    if (name == "--block-device") {
      if (hasValue) {
        error = "--block-device takes no value";
        return false;
      }
      parsed.blockDevice = true;
      continue;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (name == "--out" || name == "--payload") {
      std::string& slot = name == "--out" ? parsed.out : parsed.payloadFile;
      if (!slot.empty()) {
        error = name + " is given twice";
        return false;
      }
      if (value.empty()) {
        error = name + " needs a non-empty value";
        return false;
      }
      slot = value;
    } else if (name == "--field") {
      parsed.fields.push_back(value);
    } else if (name == "--sector-size") {
      if (parsed.sectorSize != 0) {
        error = "--sector-size is given twice";
        return false;
      }
      if (!ParseSectorSize(value, parsed.sectorSize, error)) return false;
    }
  }
  return true;
}

bool ReadPayloadFile(const std::string& path, std::string& text, std::string& error) {
  if (InspectTarget(path).kind != TargetKind::RegularFile) {
    error = "payload file '" + path + "' is not a readable regular file";
    return false;
  }
  std::ifstream in(FsPath(path), std::ios::binary);
  if (!in) {
    error = "cannot open payload file '" + path + "'";
    return false;
  }
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (text.size() > kMaxPayloadFileBytes) {
    error = "payload file '" + path + "' is larger than 1 MiB";
    return false;
  }
  return true;
}

bool BuildPayload(const Args& args, StampPayload& payload, std::string& error) {
  if (!args.payloadFile.empty()) {
    std::string text;
    if (!ReadPayloadFile(args.payloadFile, text, error)) return false;
    if (!ApplyPayloadText(payload, text, args.payloadFile, error)) return false;
  }
  // Fields given on the command line override the file.
  std::set<std::string> seen;
  for (const std::string& field : args.fields) {
    if (!ApplyFieldAssignment(payload, field, seen, "--field", error)) return false;
  }
  return true;
}

// Decides whether the path may be used and describes it as a disk. Nothing is opened for
// writing here.
bool ResolveTarget(const std::string& path, Access access, const Args& args, DiskInfo& disk,
                   TargetKind& kind, std::string& error) {
  const std::wstring widePath = Utf8ToWide(path);
  if (widePath.empty()) {
    error = "the path '" + path + "' is not valid UTF-8";
    return false;
  }
  const TargetInfo info = InspectTarget(path);
  kind = info.kind;
  uint32_t sector = args.sectorSize != 0 ? args.sectorSize : 512;
  switch (info.kind) {
    case TargetKind::Missing:
      if (access != Access::WriteOrCreate) {
        error = "'" + path + "' does not exist";
        return false;
      }
      break;
    case TargetKind::RegularFile:
      break;
    case TargetKind::BlockDevice:
      if (!BlockDevicesSupported()) {
        error = "'" + path + "' is a block device; this build works on image files only";
        return false;
      }
      if (access != Access::Read) {
        if (!args.blockDevice) {
          error = "'" + path + "' is a block device; pass --block-device to write to it";
          return false;
        }
        if (!info.inUse.empty()) {
          error = "refusing to write to '" + path + "': " + info.inUse;
          return false;
        }
      }
      if (args.sectorSize == 0 && info.logicalSectorSize != 0) sector = info.logicalSectorSize;
      if (sector < info.logicalSectorSize) {
        error = "--sector-size " + std::to_string(sector) + " is smaller than the logical sector " +
                "size of '" + path + "' (" + std::to_string(info.logicalSectorSize) + ")";
        return false;
      }
      break;
    case TargetKind::Other:
      error = "'" + path + "' is not a regular file" +
              (BlockDevicesSupported() ? std::string(" or block device") : std::string());
      return false;
  }
  disk.diskNumber = -1;
  disk.devicePath = widePath;
  disk.sizeBytes = info.sizeBytes;
  disk.bytesPerSector = sector;
  disk.safetyStatus = SafetyStatus::Erasable;  // the checks above stand in for the disk list's
  return true;
}

LogCallback PrintTo(std::ostream& out) {
  return [&out](const std::wstring& line) { out << WideToUtf8(line) << '\n'; };
}

int BadInput(std::ostream& err, const std::string& message) {
  err << "tvde-cli: error: " << message << "\n"
      << "Run 'tvde-cli help' for usage.\n";
  return kExitBadInput;
}

int StampWrite(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
               const CliServices& services) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--out", "--payload", "--field", "--sector-size", "--block-device"}, args,
                 error)) {
    return BadInput(err, error);
  }
  if (!args.positional.empty())
    return BadInput(err, "unexpected argument '" + args.positional[0] + "'");
  if (args.out.empty()) return BadInput(err, "stamp-write needs --out IMAGE");
  StampPayload payload;
  if (!BuildPayload(args, payload, error)) return BadInput(err, error);
  DiskInfo disk;
  TargetKind kind = TargetKind::Missing;
  if (!ResolveTarget(args.out, Access::WriteOrCreate, args, disk, kind, error)) {
    return BadInput(err, error);
  }

  const size_t length = StampImageLength(disk.bytesPerSector);
  if (kind != TargetKind::BlockDevice && !EnsureImageFile(args.out, length, error)) {
    err << "tvde-cli: error: " << error << "\n";
    return kExitFailed;
  }
  if (kind == TargetKind::BlockDevice && disk.sizeBytes < length) {
    return BadInput(err, "'" + args.out + "' is smaller than the stamp image");
  }
  if (!WriteDiskStamp(disk, payload, PrintTo(out), services.programs)) {
    err << "tvde-cli: error: the stamp could not be written to '" << args.out << "'\n";
    return kExitFailed;
  }
  out << "stamp written: " << args.out << " (" << length << " bytes, sector size "
      << disk.bytesPerSector << ")\n";
  return kExitOk;
}

int StampRead(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
              const CliServices& services) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--sector-size"}, args, error)) return BadInput(err, error);
  if (args.positional.size() != 1) return BadInput(err, "stamp-read needs exactly one IMAGE");
  DiskInfo disk;
  TargetKind kind = TargetKind::Missing;
  if (!ResolveTarget(args.positional[0], Access::Read, args, disk, kind, error)) {
    return BadInput(err, error);
  }
  const HardwareProfile local =
      services.collectHardware ? services.collectHardware(disk) : HardwareProfile{};
  const StampPayload payload = DetectDiskStamp(disk, local);
  out << FormatPayload(payload);
  if (payload.incomplete != 0) {
    err << "tvde-cli: no stamp found on '" << args.positional[0] << "'\n";
    return kExitFailed;
  }
  return kExitOk;
}

int StampErase(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--sector-size", "--block-device"}, args, error)) {
    return BadInput(err, error);
  }
  if (args.positional.size() != 1) return BadInput(err, "stamp-erase needs exactly one IMAGE");
  DiskInfo disk;
  TargetKind kind = TargetKind::Missing;
  if (!ResolveTarget(args.positional[0], Access::Write, args, disk, kind, error)) {
    return BadInput(err, error);
  }
  if (!EraseDiskStamp(disk, PrintTo(out))) {
    err << "tvde-cli: error: the stamp area of '" << args.positional[0]
        << "' could not be erased\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

std::string UsageText() {
  return R"(Usage: tvde-cli <command> [options]

Commands:
  stamp-write --out IMAGE [--payload FILE] [--field KEY=VALUE ...]
              [--sector-size N] [--block-device]
      Writes the bootable report stamp (the first 128 KiB: MBR, report record, BIOS and UEFI
      report programs, REPORT.TXT) for the payload over the start of IMAGE. A missing image
      file is created and a shorter one extended to 128 KiB; the rest of the file is kept.
  stamp-read IMAGE [--sector-size N]
      Prints the stamp found at the start of IMAGE as payload lines (KEY=VALUE). Without a
      stamp it prints what the report dialog would start from (incomplete=1) and exits 1.
  stamp-erase IMAGE [--sector-size N] [--block-device]
      Overwrites the stamp area (the first 128 KiB) of IMAGE with zeros.
  help
      Shows this text.

Payload file: UTF-8 lines KEY=VALUE; empty lines and lines starting with '#' are ignored;
each key at most once. --field values override the file. Keys:
  incomplete certificateId sanitizationDate softwareVersion standardName verification
  diskModel diskSerial diskCapacity operatorName organizationName sha256Fingerprint
  stampState passesCompleted hardware.manufacturer hardware.chassisType hardware.model
  hardware.serial hardware.uuid hardware.assetTag hardware.processor hardware.totalMemory
  hardware.disk hardware.diskGeometry hardware.graphicsCard hardware.soundCards
  hardware.networkAdapters hardware.motherboard hardware.biosInformation
  hardware.storageController
stamp-read prints the same keys, so its output can be fed back with --payload.

Targets: IMAGE must be a regular file. With --block-device (Linux only) it may be a block
device that is not mounted, not used as swap or by a stacked device, and not on the disk of
the running system. --sector-size: 512 (default for files), 1024, 2048 or 4096; a block
device's logical sector size by default.

Exit status: 0 done (stamp-read: a stamp was found); 1 the write failed or no stamp was
found; 2 bad arguments, input or target (nothing was written).
)";
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliServices& services) {
  if (args.empty()) {
    err << UsageText();
    return kExitBadInput;
  }
  const std::string& command = args[0];
  if (command == "help" || command == "--help" || command == "-h") {
    out << UsageText();
    return kExitOk;
  }
  if (command == "stamp-write") return StampWrite(args, out, err, services);
  if (command == "stamp-read") return StampRead(args, out, err, services);
  if (command == "stamp-erase") return StampErase(args, out, err);
  return BadInput(err, "unknown command '" + command + "'");
}

}  // namespace tvde::cli
