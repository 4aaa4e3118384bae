// Command dispatch, the usage text and the stamp subcommands of the console tool.
#include "cli.h"

#include <fstream>
#include <iterator>
#include <set>

#include "base/text.h"
#include "cli_command.h"
#include "cli_payload.h"
#include "stamp/stamp_detect.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_writer.h"

namespace tvde::cli {
namespace {

constexpr size_t kMaxPayloadFileBytes = 1 << 20;

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
  if (const std::string* file = args.Value("--payload")) {
    std::string text;
    if (!ReadPayloadFile(*file, text, error)) return false;
    if (!ApplyPayloadText(payload, text, *file, error)) return false;
  }
  // Fields given on the command line override the file.
  std::set<std::string> seen;
  for (const std::string& field : args.fields) {
    if (!ApplyFieldAssignment(payload, field, seen, "--field", error)) return false;
  }
  return true;
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
  const std::string* image = args.Value("--out");
  if (image == nullptr) return BadInput(err, "stamp-write needs --out IMAGE");
  StampPayload payload;
  if (!BuildPayload(args, payload, error)) return BadInput(err, error);
  if (!StampKeepsCertificateId(payload)) {
    return BadInput(err,
                    "the certificateId cannot be stored whole in the stamp record (too long "
                    "or holding a '|')");
  }
  DiskInfo disk;
  TargetInfo target;
  if (!ResolveTarget(*image, Access::WriteOrCreate, args, disk, target, error)) {
    return BadInput(err, error);
  }
  const TargetKind kind = target.kind;

  const size_t length = StampImageLength(disk.bytesPerSector);
  if (kind != TargetKind::BlockDevice && !EnsureImageFile(*image, length, error)) {
    err << "tvde-cli: error: " << error << "\n";
    return kExitFailed;
  }
  if (kind == TargetKind::BlockDevice && disk.sizeBytes < length) {
    return BadInput(err, "'" + *image + "' is smaller than the stamp image");
  }
  if (!WriteDiskStamp(disk, payload, PrintTo(out), services.programs)) {
    err << "tvde-cli: error: the stamp could not be written to '" << *image << "'\n";
    return kExitFailed;
  }
  out << "stamp written: " << *image << " (" << length << " bytes, sector size "
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
  TargetInfo target;
  if (!ResolveTarget(args.positional[0], Access::Read, args, disk, target, error)) {
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
  TargetInfo target;
  if (!ResolveTarget(args.positional[0], Access::Write, args, disk, target, error)) {
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
  std::string text = R"(Usage: tvde-cli <command> [options]

Commands:
  erase TARGET [--standard S] [--verify none|quick|full] [--real] [--no-stamp]
               [--out FOLDER | --no-reports] [--operator NAME] [--organization NAME]
               [--notes TEXT] [--sector-size N] [--block-device] [--confirm "ERASE TARGET"]
      Runs the whole erase job on TARGET: the overwrite passes of the standard, the partition
      table wipe, verification by sampled read-back, the bootable report stamp and the three
      certificate files (HTML certificate, TXT audit log, JSON report).
      Without --real the job is a simulation: TARGET is checked but never opened, and the
      reports say so. With --real every byte of TARGET is overwritten.
        --standard   0-7 or a name (default 0, nist-purge):
)";
  for (int32_t i = 0; i < kStandardCount; ++i) {
    const std::string name = kStandardNames[i];
    text += "                       " + std::to_string(i) + " " + name +
            std::string(12 - name.size(), ' ') +
            WideToUtf8(StandardLabel(static_cast<EraseStandard>(i))) + "\n";
  }
  std::string zeroEnding;
  for (int32_t i = 0; i < kStandardCount; ++i) {
    if (!PlanEndsWithZeros(BuildPassPlan(static_cast<EraseStandard>(i)))) continue;
    zeroEnding += zeroEnding.empty() ? "" : ", ";
    zeroEnding += kStandardNames[i];
  }
  text += R"(        --verify     none, quick (64 samples, default) or full (256 samples)
        --no-stamp   write no report stamp; the disk then ends all zeroes only with a
                     standard whose last pass writes zeros ()" +
          zeroEnding + R"()
        --out        folder for the certificate files (default: the certificate folder of
                     the settings), checked before the job starts; --no-reports writes none
        --operator, --organization  default: the names in the settings
        --block-device  (Linux only) TARGET may be a block device; see Targets. A real
                     erasure of a block device asks for "ERASE " and the device path to be
                     typed on standard input, or takes it from --confirm.
      Progress lines (at most one per second and pass percent) and the job's log lines go to
      standard output, each with a local time stamp; the summary follows at the end.
      Ctrl+C stops the job after the current chunk and still writes its certificate; a second
      Ctrl+C ends the program at once.
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

Targets: IMAGE and TARGET must be regular files (erase: of at least one sector; its size is
taken down to whole sectors) that no loop device is attached to. With --block-device (Linux
only) they may be block devices that are not mounted, not used as swap or by a stacked
device, and not on the disk of the running system. --sector-size: 512 (default for files),
1024, 2048 or 4096; a block device's logical sector size by default.

Exit status: 0 done (stamp-read: a stamp was found; erase: the job completed and every
report and stamp asked for was written); 1 the operation failed or no stamp was found
(erase: the job failed or was refused by the safety guard); 2 bad arguments, input or target
(nothing was written); 3 erase: the job was cancelled (its reports are written); 4 erase: the
job completed but the reports or the stamp could not be written.
)";
  return text;
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
  if (command == "erase") return EraseCommand(args, out, err, services);
  return BadInput(err, "unknown command '" + command + "'");
}

}  // namespace tvde::cli
