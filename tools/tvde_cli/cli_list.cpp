// The list command: the machine's disks as the erase command judges them, one line each or as
// a JSON array for scripts.
#include "base/text.h"
#include "cli_command.h"
#include "disk/disk_classification.h"
#include "erase/firmware_step.h"
#include "firmware/firmware_open.h"
#include "firmware/sanitize_choice.h"
#include "report/json_report.h"

namespace tvde::cli {
namespace {

// Built by appending: GCC 12 warns falsely on a literal + a temporary string.
std::string Device(const DiskInfo& disk) {
  std::string text;
  if (disk.diskNumber >= 0) {
    text = "disk ";
    text += std::to_string(disk.diskNumber);
    text += ' ';
  }
  text += WideToUtf8(disk.devicePath);
  return text;
}

std::wstring Mounts(const DiskInfo& disk) {
  return disk.driveLetters == kNoDriveLetters ? std::wstring() : disk.driveLetters;
}

// One "key": value pair, the value a JSON string.
void Field(std::string& row, const char* key, const std::wstring& text) {
  row += row.empty() ? "  {\"" : ", \"";
  row += key;
  row += "\": \"";
  row += WideToUtf8(EscapeJsonString(text));
  row += '"';
}

// One "key": value pair, the value a JSON number or literal.
void Field(std::string& row, const char* key, const std::string& literal) {
  row += ", \"";
  row += key;
  row += "\": ";
  row += literal;
}

std::string JsonRow(const DiskInfo& disk) {
  std::string row;
  Field(row, "devicePath", disk.devicePath);
  Field(row, "diskNumber", std::to_string(disk.diskNumber));
  Field(row, "model", disk.model);
  Field(row, "serialNumber", disk.serialNumber);
  Field(row, "mediaType", MediaTypeLabel(disk.mediaType));
  Field(row, "busType", BusTypeLabel(disk.busType));
  Field(row, "sizeBytes", std::to_string(disk.sizeBytes));
  Field(row, "size", FormatSize(disk.sizeBytes));
  Field(row, "bytesPerSector", std::to_string(disk.bytesPerSector));
  Field(row, "mountPoints", Mounts(disk));
  Field(row, "safetyStatus", std::to_string(static_cast<int32_t>(disk.safetyStatus)));
  Field(row, "safetyLabel", SafetyStatusLabel(disk.safetyStatus));
  Field(row, "safetyReason", disk.safetyReason);
  Field(row, "erasable", std::string(AllowsWrite(disk.safetyStatus) ? "true" : "false"));
  const FirmwareCapabilities& caps = disk.firmware;
  static constexpr const wchar_t* kKinds[] = {L"none", L"NVMe", L"SCSI", L"ATA"};
  Field(row, "passThrough", std::wstring(kKinds[static_cast<int32_t>(caps.kind) & 3]));
  std::string methods = "[";
  for (const FirmwareMethod method : AvailableMethods(caps)) {
    methods += methods.size() > 1 ? ", \"" : "\"";
    methods += FirmwareMethodId(method);
    methods += '"';
  }
  Field(row, "firmwareMethods", methods + "]");
  Field(row, "firmware", CapabilitySummary(caps));
  Field(row, "hiddenArea", HiddenAreaSummary(caps));
  Field(row, "hiddenSectors",
        caps.ata && caps.hidden.checked ? std::to_string(caps.hidden.HiddenSectors()) : "null");
  return row + "}";
}

// The drive's own erase and hidden area, on a line of its own below the disk when asked.
std::string FirmwareLine(const FirmwareCapabilities& caps) {
  if (!caps.checked) return {};
  const std::wstring hidden = HiddenAreaSummary(caps);
  return "\n    firmware: " + WideToUtf8(CapabilitySummary(caps)) +
         (hidden.empty() ? "" : "\n    hidden area: " + WideToUtf8(hidden));
}

std::string TextRow(const DiskInfo& disk) {
  const std::wstring mounts = Mounts(disk);
  return Device(disk) + " | " + WideToUtf8(disk.model) + " | " + WideToUtf8(disk.serialNumber) +
         " | " + WideToUtf8(MediaTypeLabel(disk.mediaType)) + " | " +
         WideToUtf8(BusTypeLabel(disk.busType)) + " | " + WideToUtf8(FormatSize(disk.sizeBytes)) +
         " | " + (mounts.empty() ? "-" : WideToUtf8(mounts)) + " | " +
         WideToUtf8(SafetyStatusLabel(disk.safetyStatus)) + ": " + WideToUtf8(disk.safetyReason) +
         FirmwareLine(disk.firmware);
}

}  // namespace

int ListCommand(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
                const CliServices& services) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--json"}, args, error)) return BadInput(err, error);
  if (!args.positional.empty()) {
    return BadInput(err, "unexpected argument '" + args.positional[0] + "'");
  }
  std::vector<DiskInfo> disks =
      services.listDisks ? services.listDisks() : SystemDisks(services.isWinPE);
  if (!services.listDisks) {
    // Read-only questions to each drive (no media access, no setting changed).
    for (DiskInfo& disk : disks) {
      disk.firmware = DiscoverDiskFirmware(
          {TargetDevicePath(disk), BusPassThrough(disk.busType), services.isWinPE == 1});
    }
  }
  if (args.Flag("--json")) {
    out << "[";
    for (size_t i = 0; i < disks.size(); ++i)
      out << (i == 0 ? "\n" : ",\n") << JsonRow(disks[i]);
    out << (disks.empty() ? "]\n" : "\n]\n");
    return kExitOk;
  }
  out << "DEVICE | MODEL | SERIAL | MEDIA | BUS | SIZE | MOUNTED | SAFETY\n";
  for (const DiskInfo& disk : disks)
    out << TextRow(disk) << "\n";
  if (disks.empty()) out << "(no disks found)\n";
  return kExitOk;
}

}  // namespace tvde::cli
