// Option parsing and messages shared by the commands of the console tool.
#include <algorithm>
#include <charconv>

#include "base/text.h"
#include "cli_command.h"

namespace tvde::cli {
namespace {

// Options that take no value.
const std::set<std::string> kFlagOptions = {"--block-device",  "--real",  "--no-stamp",
                                            "--no-reports",    "--force", "--json",
                                            "--require-erased"};
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
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg[1] != '-') {
      error = "unknown option '" + arg + "' for " + args[0] +
              " (a file name starting with '-' goes after \"--\")";
      return false;
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

size_t UnsafeSequenceLength(std::string_view text, size_t at) {
  const auto byte = [&text, at](size_t n) {
    return at + n < text.size() ? static_cast<unsigned char>(text[at + n]) : 0u;
  };
  if (byte(0) < 0x20 || byte(0) == 0x7F) return 1;
  if (byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) return 2;  // U+0080..U+009F
  if (byte(0) == 0xD8 && byte(1) == 0x9C) return 2;                     // U+061C
  if (byte(0) != 0xE2) return 0;
  // U+200E/F, U+2028..U+202E, U+2066..U+2069
  const bool marks = byte(1) == 0x80 &&
                     ((byte(2) >= 0x8E && byte(2) <= 0x8F) || (byte(2) >= 0xA8 && byte(2) <= 0xAE));
  const bool isolates = byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9;
  return marks || isolates ? 3 : 0;
}

std::string TerminalSafe(std::string_view text) {
  std::string shown;
  for (size_t i = 0; i < text.size();) {
    const size_t unsafe = UnsafeSequenceLength(text, i);
    for (size_t n = 0; n < unsafe; ++n)
      shown += FormatPrintf("\\%03o", static_cast<unsigned char>(text[i + n]));
    if (unsafe == 0) shown += text[i];
    i += std::max<size_t>(unsafe, 1);
  }
  return shown;
}

std::string TerminalSafe(const std::wstring& text) {
  return TerminalSafe(WideToUtf8(text));
}

LogCallback PrintTo(std::ostream& out) {
  return [&out](const std::wstring& line) { out << TerminalSafe(line) << '\n'; };
}

std::unique_ptr<Device> TakeDevice(Target& target, const CliServices& services) {
  std::unique_ptr<Device> device = std::move(target.device);
  if (device != nullptr && services.interposeDevice) {
    device = services.interposeDevice(std::move(device));
  }
  return device;
}

int BadInput(std::ostream& err, const std::string& message) {
  err << "tvde-cli: error: " << TerminalSafe(message) << "\n"
      << "Run 'tvde-cli help' for usage.\n";
  return kExitBadInput;
}

}  // namespace tvde::cli
