// The list command: the machine's disks as the erase command judges them, one line each or as
// a JSON array for scripts.
#include "base/text.h"
#include "cli_command.h"
#include "disk/disk_classification.h"
#include "report/json_report.h"

namespace tvde::cli {
namespace {

std::string Device(const DiskInfo& disk) {
  const std::string path = WideToUtf8(disk.devicePath);
  return disk.diskNumber >= 0 ? "disk " + std::to_string(disk.diskNumber) + " " + path : path;
}

std::wstring Mounts(const DiskInfo& disk) {
  return disk.driveLetters == kNoDriveLetters ? std::wstring() : disk.driveLetters;
}

std::string Json(const std::wstring& text) {
  return "\"" + WideToUtf8(EscapeJsonString(text)) + "\"";
}

std::string JsonRow(const DiskInfo& disk) {
  return "  {\"devicePath\": " + Json(disk.devicePath) +
         ", \"diskNumber\": " + std::to_string(disk.diskNumber) +
         ", \"model\": " + Json(disk.model) + ", \"serialNumber\": " + Json(disk.serialNumber) +
         ", \"mediaType\": " + Json(MediaTypeLabel(disk.mediaType)) +
         ", \"busType\": " + Json(BusTypeLabel(disk.busType)) +
         ", \"sizeBytes\": " + std::to_string(disk.sizeBytes) +
         ", \"size\": " + Json(FormatSize(disk.sizeBytes)) +
         ", \"bytesPerSector\": " + std::to_string(disk.bytesPerSector) +
         ", \"mountPoints\": " + Json(Mounts(disk)) +
         ", \"safetyStatus\": " + std::to_string(static_cast<int32_t>(disk.safetyStatus)) +
         ", \"safetyLabel\": " + Json(SafetyStatusLabel(disk.safetyStatus)) +
         ", \"safetyReason\": " + Json(disk.safetyReason) +
         ", \"erasable\": " + (AllowsWrite(disk.safetyStatus) ? "true" : "false") + "}";
}

std::string TextRow(const DiskInfo& disk) {
  const std::wstring mounts = Mounts(disk);
  return Device(disk) + " | " + WideToUtf8(disk.model) + " | " + WideToUtf8(disk.serialNumber) +
         " | " + WideToUtf8(MediaTypeLabel(disk.mediaType)) + " | " +
         WideToUtf8(BusTypeLabel(disk.busType)) + " | " + WideToUtf8(FormatSize(disk.sizeBytes)) +
         " | " + (mounts.empty() ? "-" : WideToUtf8(mounts)) + " | " +
         WideToUtf8(SafetyStatusLabel(disk.safetyStatus)) + ": " + WideToUtf8(disk.safetyReason);
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
  const std::vector<DiskInfo> disks =
      services.listDisks ? services.listDisks() : SystemDisks(services.isWinPE);
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
