// The typed confirmation before a write to a block device, and the one-line disk description
// it shows.
#include <algorithm>
#include <cctype>

#include "base/text.h"
#include "cli_command.h"

namespace tvde::cli {
namespace {

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return {};
  const size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(begin, end - begin + 1);
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// "ERASE" ignoring case as the main window's code field does, then the device exactly, so that
// the confirmation names the disk about to be destroyed.
bool ConfirmationMatches(const std::string& typed, const std::string& device) {
  const std::string text = Trim(typed);
  return text.size() == 6 + device.size() && Lower(text.substr(0, 5)) == "erase" &&
         text[5] == ' ' && text.compare(6, std::string::npos, device) == 0;
}

}  // namespace

std::string DescribeDisk(const DiskInfo& disk) {
  return TerminalSafe(disk.model) + ", serial " + TerminalSafe(disk.serialNumber) + ", " +
         WideToUtf8(FormatSize(disk.sizeBytes)) + " (" + std::to_string(disk.sizeBytes) +
         " bytes, " + std::to_string(disk.bytesPerSector) + "-byte sectors), " +
         WideToUtf8(BusTypeLabel(disk.busType)) + " / " +
         WideToUtf8(MediaTypeLabel(disk.mediaType));
}

bool ConfirmWrite(const Target& target, const char* damage, const Args& args,
                  const CliServices& services, std::ostream& err, std::string& error) {
  const std::string device = WideToUtf8(target.disk.devicePath);
  const std::string expected = "ERASE " + device;
  const std::string* given = args.Value("--confirm");
  if (target.object.kind != DeviceKind::BlockDevice && given == nullptr) return true;
  if (given != nullptr) {
    if (ConfirmationMatches(*given, device)) return true;
    error = "the confirmation does not match; pass --confirm \"" + expected + "\"";
    return false;
  }
  if (services.input == nullptr) {
    error = "writing to a block device needs the typed confirmation \"" + expected + "\"";
    return false;
  }
  err << "WARNING: " << damage << " " << TerminalSafe(device);
  if (device != target.given) err << " (named as " << TerminalSafe(target.given) << ")";
  err << " will be destroyed and cannot be recovered.\n"
      << "  " << DescribeDisk(target.disk) << "\n"
      << "Type \"" << TerminalSafe(expected) << "\" and press Enter to continue: " << std::flush;
  std::string typed;
  if (!std::getline(*services.input, typed)) {
    error = "no confirmation was typed";
    return false;
  }
  if (!ConfirmationMatches(typed, device)) {
    error = "the typed confirmation does not match \"" + expected + "\"";
    return false;
  }
  return true;
}

}  // namespace tvde::cli
