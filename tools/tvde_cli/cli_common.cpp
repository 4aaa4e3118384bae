// Option parsing and target resolution shared by the commands of the console tool.
#include <charconv>

#include "base/text.h"
#include "cli_command.h"

namespace tvde::cli {
namespace {

// Options that take no value.
const std::set<std::string> kFlagOptions = {"--block-device", "--real", "--no-stamp",
                                            "--no-reports"};
// Options whose value may be empty (an empty name is a choice, an empty path is not).
const std::set<std::string> kMayBeEmpty = {"--operator", "--organization", "--notes"};

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

}  // namespace

const std::string* Args::Value(const std::string& name) const {
  const auto found = values.find(name);
  return found == values.end() ? nullptr : &found->second;
}

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
    if (kFlagOptions.count(name) != 0) {
      if (hasValue) {
        error = name + " takes no value";
        return false;
      }
      parsed.flags.insert(name);
      continue;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (name == "--field") {
      parsed.fields.push_back(value);
    } else if (name == "--sector-size") {
      if (parsed.sectorSize != 0) {
        error = "--sector-size is given twice";
        return false;
      }
      if (!ParseSectorSize(value, parsed.sectorSize, error)) return false;
    } else {
      if (parsed.values.count(name) != 0) {
        error = name + " is given twice";
        return false;
      }
      if (value.empty() && kMayBeEmpty.count(name) == 0) {
        error = name + " needs a non-empty value";
        return false;
      }
      parsed.values[name] = value;
    }
  }
  return true;
}

bool ResolveTarget(const std::string& path, Access access, const Args& args, DiskInfo& disk,
                   TargetInfo& info, std::string& error) {
  const std::wstring widePath = Utf8ToWide(path);
  if (widePath.empty()) {
    error = "the path '" + path + "' is not valid UTF-8";
    return false;
  }
  info = InspectTarget(path);
  uint32_t sector = args.sectorSize != 0 ? args.sectorSize : 512;
  switch (info.kind) {
    case TargetKind::Missing:
      if (access != Access::WriteOrCreate) {
        error = "'" + path + "' does not exist";
        return false;
      }
      break;
    case TargetKind::RegularFile:
      if (access != Access::Read && !info.inUse.empty()) {
        error = "refusing to write to '" + path + "': " + info.inUse;
        return false;
      }
      break;
    case TargetKind::BlockDevice:
      if (!BlockDevicesSupported()) {
        error = "'" + path + "' is a block device; this build works on image files only";
        return false;
      }
      if (access != Access::Read) {
        if (!args.Flag("--block-device")) {
          error = "'" + path + "' is a block device; pass --block-device to write to it";
          return false;
        }
        if (!info.inUse.empty()) {
          error = "refusing to write to '" + path + "': " + info.inUse;
          return false;
        }
      }
      break;
    case TargetKind::Other:
      error = "'" + path + "' is not a regular file" +
              (BlockDevicesSupported() ? std::string(" or block device") : std::string());
      return false;
  }
  // Unbuffered I/O on a block device, or on a file of a volume with larger sectors, takes
  // nothing smaller than the logical sector size.
  if (args.sectorSize == 0 && info.logicalSectorSize != 0) sector = info.logicalSectorSize;
  if (sector < info.logicalSectorSize) {
    error = "--sector-size " + std::to_string(sector) + " is smaller than the logical sector " +
            "size of '" + path + "' (" + std::to_string(info.logicalSectorSize) + ")";
    return false;
  }
  disk.diskNumber = -1;
  disk.devicePath = widePath;
  disk.sizeBytes = info.sizeBytes;
  disk.bytesPerSector = sector;
  if (info.kind == TargetKind::BlockDevice) {
    if (!info.model.empty()) disk.model = Utf8ToWide(info.model);
    if (!info.serial.empty()) disk.serialNumber = Utf8ToWide(info.serial);
    disk.mediaType = info.media;
    disk.busType = info.bus;
  } else {
    disk.model = L"Image File";
    const std::string name = FileNameOf(path);
    disk.serialNumber = name.empty() ? widePath : Utf8ToWide(name);
    disk.mediaType = MediaKind::Standard;
    disk.busType = BusKind::Unknown;
  }
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

}  // namespace tvde::cli
