// The stamp commands: write, read and erase the bootable report stamp at the start of an image
// file or (when asked) a block device, each through the one handle the target was opened with.
#include "base/file_system.h"
#include "base/text.h"
#include "cli_command.h"
#include "cli_payload.h"
#include "stamp/stamp_detect.h"
#include "stamp/stamp_image.h"
#include "stamp/stamp_writer.h"

namespace tvde::cli {
namespace {

constexpr size_t kMaxPayloadFileBytes = 1 << 20;
constexpr const char* kStampDamage = "the stamp area (the first 128 KiB) of";

bool ReadPayloadFile(const std::string& path, std::string& text, std::string& error) {
  switch (ReadRegularFile(Utf8ToWide(path), kMaxPayloadFileBytes, text)) {
    case FileReadResult::Read:
      return true;
    case FileReadResult::TooLarge:
      error = "payload file '" + path + "' is larger than 1 MiB";
      return false;
    default:
      error = "payload file '" + path + "' is not a readable regular file";
      return false;
  }
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

int Failed(std::ostream& err, const std::string& message) {
  err << "tvde-cli: error: " << TerminalSafe(message) << "\n";
  return kExitFailed;
}

}  // namespace

int StampWriteCommand(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
                      const CliServices& services) {
  Args args;
  std::string error;
  if (!ParseArgs(argv,
                 {"--out", "--payload", "--field", "--sector-size", "--block-device", "--confirm"},
                 args, error)) {
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
  Target target;
  if (!OpenTarget(*image, Access::WriteOrCreate, Opening::Open, args, target, error,
                  services.beforeTargetOpen)) {
    return BadInput(err, error);
  }
  const uint32_t sector = target.disk.bytesPerSector;
  const size_t length = StampImageLength(sector);
  if (target.object.kind == DeviceKind::BlockDevice && target.disk.sizeBytes < length) {
    return BadInput(err, "'" + *image + "' is smaller than the stamp image");
  }
  if (!ConfirmWrite(target, kStampDamage, args, services, err, error)) {
    return BadInput(err, error);
  }
  // A file written past its end grows to the stamp's length; the rest of a longer one is kept.
  std::unique_ptr<Device> device = TakeDevice(target, services);
  const bool written = WriteStampImage(*device, sector, payload, PrintTo(out), services.programs);
  device.reset();
  if (!written) {
    RemoveCreatedFile(target);  // a failed write leaves no new file behind
    return Failed(err, "the stamp could not be written to '" + *image + "'");
  }
  out << "stamp written: " << TerminalSafe(target.disk.devicePath) << " (" << length
      << " bytes, sector size " << sector << ")\n";
  return kExitOk;
}

int StampReadCommand(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
                     const CliServices& services) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--sector-size"}, args, error)) return BadInput(err, error);
  if (args.positional.size() != 1) return BadInput(err, "stamp-read needs exactly one IMAGE");
  Target target;
  if (!OpenTarget(args.positional[0], Access::Read, Opening::Open, args, target, error)) {
    return BadInput(err, error);
  }
  const HardwareProfile local =
      services.collectHardware ? services.collectHardware(target.disk) : HardwareProfile{};
  const StampPayload payload = DetectDiskStamp(*TakeDevice(target, services), target.disk, local);
  out << FormatPayload(payload);
  if (payload.incomplete != 0) {
    err << "tvde-cli: no stamp found on '" << TerminalSafe(args.positional[0]) << "'\n";
    return kExitFailed;
  }
  return kExitOk;
}

int StampEraseCommand(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
                      const CliServices& services) {
  Args args;
  std::string error;
  if (!ParseArgs(argv, {"--sector-size", "--block-device", "--confirm", "--force"}, args, error)) {
    return BadInput(err, error);
  }
  if (args.positional.size() != 1) return BadInput(err, "stamp-erase needs exactly one IMAGE");
  const std::string& path = args.positional[0];
  Target target;
  if (!OpenTarget(path, Access::Write, Opening::Open, args, target, error,
                  services.beforeTargetOpen)) {
    return BadInput(err, error);
  }
  std::unique_ptr<Device> device = TakeDevice(target, services);
  // Zeroing the start of something that carries no stamp destroys data and erases nothing.
  if (!args.Flag("--force") &&
      DetectDiskStamp(*device, target.disk, HardwareProfile{}).incomplete != 0) {
    return BadInput(err, "no stamp found on '" + path +
                             "'; nothing was written (--force zeroes its first 128 KiB anyway)");
  }
  if (!ConfirmWrite(target, kStampDamage, args, services, err, error)) {
    return BadInput(err, error);
  }
  if (!EraseStampArea(*device, target.disk.bytesPerSector, PrintTo(out))) {
    return Failed(err, "the stamp area of '" + path + "' could not be erased");
  }
  return kExitOk;
}

}  // namespace tvde::cli
