// Command dispatch and the usage text of the console tool.
#include "cli.h"

#include "base/text.h"
#include "cli_command.h"
#include "cli_signing.h"

namespace tvde::cli {

std::string UsageText() {
  std::string text = R"(Usage: tvde-cli <command> [options]

Commands:
  erase TARGET [--standard S] [--verify none|quick|full|every-pass] [--real] [--no-stamp]
               [--out FOLDER | --no-reports] [--operator NAME] [--organization NAME]
               [--notes TEXT] [--sector-size N] [--block-device] [--confirm "ERASE DEVICE"]
               [--firmware auto|crypto|block|overwrite|format|off] [--progress json]
      Runs the whole erase job on TARGET: the overwrite passes of the standard, the partition
      table wipe, verification by read-back, the bootable report stamp and the three
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
  text += R"(        --verify     none; quick (64 sampled windows, default); full (every sector,
                     after the last pass); every-pass (every sector, after each pass).
                     Each byte read is compared with what the pass wrote there.
        --firmware   the drive's own erase before the passes of a real job, chosen from
                     what the drive reports it supports (never from a command's success):
                     auto (the strongest: crypto erase, block erase, on hard disks the
                     drive's overwrite, then Format NVM / ATA SECURITY ERASE UNIT), crypto,
                     block, overwrite, format (NVMe Format NVM, ATA SECURITY ERASE UNIT,
                     SCSI FORMAT UNIT) or off. Default: auto for nist-purge, off for the
                     others. Sectors written just before the command are read back after it:
                     a "success" that left them in place is not counted. NVMe Sanitize and
                     an all-namespace Format are refused when the controller has another
                     namespace. A sanitize cannot be cancelled and resumes after a power
                     cycle. Without a firmware erase the overwrite passes run alone and the
                     reports say why. An ATA disk with a hidden area (HPA) has its native max
                     address restored for the job (volatile) or the job is refused.
        --progress json  one JSON object per line on standard error as the job goes: phase
                     (overwrite, verify, firmware), pass, passes, percent (of the job),
                     passPercent, bytesDone, bytesTotal, speedMBps, secondsLeft (null when
                     unknown). On a terminal the progress is one line redrawn in place with
                     the time left; otherwise a line a second.
        --no-stamp   write no report stamp; the disk then ends all zeroes only with a
                     standard whose last pass writes zeros ()" +
          zeroEnding + R"()
        --out        folder for the certificate files (default: the certificate folder of
                     the settings), proven writable before TARGET is opened; --no-reports
                     writes none
        --operator, --organization  default: the names in the settings
        --block-device  (Linux only) TARGET may be a block device; see Targets. A real
                     erasure of a block device asks for "ERASE " and the device's own path
                     (/dev/sdX, also when TARGET names it through a link) to be typed on
                     standard input, or takes it from --confirm.
      Progress lines (at most one per second and pass percent) and the job's log lines go to
      standard output, each with a local time stamp; the summary follows at the end.
      Ctrl+C stops the job after the current chunk and still writes its certificate; a second
      Ctrl+C ends the program at once and removes a report set it cut short.
  stamp-write --out IMAGE [--payload FILE] [--field KEY=VALUE ...]
              [--sector-size N] [--block-device] [--confirm "ERASE DEVICE"]
      Writes the bootable report stamp (the first 128 KiB: MBR, report record, BIOS and UEFI
      report programs, REPORT.TXT) for the payload over the start of IMAGE. A missing image
      file is created (and removed again when the write fails) and a shorter one extended to
      128 KiB; the rest of the file is kept. A block device asks for the typed confirmation.
      Such a stamp claims no erasure: its boot screens say NOT CERTIFIED.
  stamp-read IMAGE [--sector-size N]
      Prints the stamp found at the start of IMAGE as payload lines (KEY=VALUE; control
      characters in values are shown as \xNN or \uNNNN). Without a stamp it prints what the
      report dialog would start from (incomplete=1) and exits 1.
  stamp-erase IMAGE [--sector-size N] [--block-device] [--confirm "ERASE DEVICE"] [--force]
      Overwrites the stamp area (the first 128 KiB) of IMAGE with zeros. IMAGE must carry a
      stamp unless --force is given; a block device asks for the typed confirmation.
  list [--json]
      Lists the machine's disks (Linux: whole block devices, loop devices attached to a
      file) with model, serial, media, bus, size, mount points or drive letters and the
      safety status with its reason, as the erase command judges them; the disk of the
      running system is always protected; below each, the firmware erase commands the drive
      reports and its hidden area (HPA/AMA/DCO), asked with read-only questions. --json
      prints the same as a JSON array.
  help
      Shows this text.
)" + SigningUsageText() +
          R"(
Payload file: UTF-8 lines KEY=VALUE; empty lines and lines starting with '#' are ignored;
each key exactly as named, at most once. --field values override the file. Keys:
  incomplete certificateId sanitizationDate softwareVersion standardName verification
  diskModel diskSerial diskCapacity operatorName organizationName sha256Fingerprint
  stampState passesCompleted hardware.manufacturer hardware.chassisType hardware.model
  hardware.serial hardware.uuid hardware.assetTag hardware.processor hardware.totalMemory
  hardware.disk hardware.diskGeometry hardware.graphicsCard hardware.soundCards
  hardware.networkAdapters hardware.motherboard hardware.biosInformation
  hardware.storageController
stamp-read prints the same keys, so its output can be fed back with --payload.

Targets: IMAGE and TARGET must be regular files (erase: of at least one sector; its size is
taken down to whole sectors), named directly rather than through a symbolic link, that no
loop device is attached to and that are not used as swap. With --block-device (Linux only)
they may be block devices that are not mounted, not used as swap or by a stacked device, not
on the disk of the running system, and (loop devices) whose backing file is not attached
elsewhere or in use. The target is opened once and every check is made on what was opened.
--sector-size: 512 (default for files), 1024, 2048 or 4096; a block device's logical sector
size by default.

Exit status: 0 done (stamp-read: a stamp was found; erase: the job completed and every
report and stamp asked for was written); 1 the operation failed or no stamp was found
(erase: the job failed or was refused by the safety guard); 2 bad arguments, input or target
(nothing was written; stamp-erase: no stamp without --force); 3 erase: the job was cancelled
(its reports are written); 4 erase: the job completed but the reports, their signature or the
stamp could not be written.
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
  if (command == "stamp-write") return StampWriteCommand(args, out, err, services);
  if (command == "stamp-read") return StampReadCommand(args, out, err, services);
  if (command == "stamp-erase") return StampEraseCommand(args, out, err, services);
  if (command == "erase") return EraseCommand(args, out, err, services);
  if (command == "keygen") return KeygenCommand(args, out, err);
  if (command == "verify") return VerifyCommand(args, out, err);
  if (command == "list") return ListCommand(args, out, err, services);
  return BadInput(err, "unknown command '" + command + "'");
}

}  // namespace tvde::cli
