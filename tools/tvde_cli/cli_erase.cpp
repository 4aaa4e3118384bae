// The erase command: checks every argument, opens the target once and judges it by what was
// opened, asks for the typed confirmation a real block-device erasure needs, then runs the
// whole job on that open device with progress, log lines and a closing summary.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/clock.h"
#include "base/text.h"
#include "cli_command.h"
#include "cli_erase_output.h"
#include "cli_interrupt.h"
#include "job/report_output.h"
#include "report/report_identity.h"
#include "settings/settings_rules.h"
#include "stamp/stamp_image.h"

namespace tvde::cli {
namespace {

constexpr const wchar_t* kAbortLine =
    L"[ABORT] ユーザーにより緊急停止シグナルが送信されました。安全に停止しています...";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool ParseStandard(const std::string& text, EraseStandard& standard) {
  if (text.size() == 1 && text[0] >= '0' && text[0] < '0' + kStandardCount) {
    standard = static_cast<EraseStandard>(text[0] - '0');
    return true;
  }
  for (int32_t i = 0; i < kStandardCount; ++i) {
    if (Lower(text) == kStandardNames[i]) {
      standard = static_cast<EraseStandard>(i);
      return true;
    }
  }
  return false;
}

bool ParseVerify(const std::string& text, VerifyMode& mode) {
  const std::string value = Lower(text);
  if (value == "none" || value == "0") {
    mode = VerifyMode::None;
  } else if (value == "quick" || value == "1") {
    mode = VerifyMode::Quick;
  } else if (value == "full" || value == "2") {
    mode = VerifyMode::Full;
  } else if (value == "every-pass" || value == "3") {
    mode = VerifyMode::EveryPass;
  } else {
    return false;
  }
  return true;
}

// --firmware: a mode name; by default the NIST Purge standard asks for the strongest the disk
// supports and every other standard for none.
bool ParseFirmware(const Args& args, EraseJobConfig& config, std::string& error) {
  const std::string* text = args.Value("--firmware");
  if (text == nullptr) {
    config.firmwareMode =
        config.standard == EraseStandard::NistPurge ? FirmwareMode::Auto : FirmwareMode::Off;
    return true;
  }
  for (int32_t i = 0; i < kFirmwareModeCount; ++i) {
    if (Lower(*text) == kFirmwareModeNames[i]) {
      config.firmwareMode = static_cast<FirmwareMode>(i);
      return true;
    }
  }
  error =
      "unknown firmware erase '" + *text + "'; use auto, crypto, block, overwrite, format or off";
  return false;
}

std::string FirmwareText(FirmwareMode mode) {
  if (mode == FirmwareMode::Off) return "off (overwrite passes only)";
  return std::string(kFirmwareModeNames[static_cast<int32_t>(mode)]) +
         " - the drive's own erase first, when it reports one; once started it cannot be "
         "cancelled and resumes after a power cycle, and no certificate is issued until the "
         "drive reports completion";
}

bool CheckReportFolder(const std::string& folder, std::string& error) {
  std::error_code ec;
  const auto status = std::filesystem::status(FsPath(folder), ec);
  if (status.type() != std::filesystem::file_type::not_found &&
      status.type() != std::filesystem::file_type::directory) {
    error = "--out '" + folder + "' exists and is not a folder";
    return false;
  }
  return true;
}

// The job's environment: the reports as the services say, the device the command opened (and
// nothing opened again by name), and the volumes checked by that device's number.
EraseJobEnvironment CompleteEnvironment(const EraseJobEnvironment& given, Target& target,
                                        const CliServices& services) {
  EraseJobEnvironment environment = DefaultEraseJobEnvironment();
  if (given.prepareReportFolder) environment.prepareReportFolder = given.prepareReportFolder;
  if (given.saveReports) environment.saveReports = given.saveReports;
  auto device = std::make_shared<std::unique_ptr<Device>>(TakeDevice(target, services));
  environment.openDevice = [device](const std::wstring&, const DeviceOpenOptions&) {
    // Handed over once; a simulation, which opens nothing, never asks.
    if (*device == nullptr) return DeviceOpenResult{nullptr, 0};
    return DeviceOpenResult{std::move(*device), 0};
  };
  environment.lockVolumes = [object = target.object](const DiskInfo&, const LogCallback& log) {
    return CheckTargetVolumes(object, log);
  };
  return environment;
}

// Zeroes are promised only where the last pass writes them.
std::string AfterErasureText(const EraseJobConfig& config, const EraseRequest& request) {
  if (request.stampWanted) return "bootable report stamp";
  return PlanEndsWithZeros(BuildPassPlan(config.standard))
             ? "all zeroes, no stamp"
             : "no stamp; the data of the last pass stays (not all zeroes)";
}

void PrintHeader(std::ostream& out, const EraseJobConfig& config, const EraseRequest& request) {
  const bool real = config.executionMode == ExecutionMode::RealWrite;
  out << "tvde-cli erase: " << TerminalSafe(config.disk.devicePath) << "\n"
      << "  Disk          : " << DescribeDisk(config.disk) << "\n"
      << "  Standard      : " << WideToUtf8(StandardLabel(config.standard)) << "\n"
      << "  Verification  : " << WideToUtf8(VerifyModeLabel(config.verifyMode)) << "\n"
      << "  Mode          : "
      << (real ? "REAL WRITE - the data is destroyed for good"
               : "simulation - nothing is opened or written")
      << "\n"
      << "  After erasure : " << AfterErasureText(config, request) << "\n"
      << "  Firmware      : " << FirmwareText(config.firmwareMode) << "\n"
      << "  Reports       : "
      << (request.reportsWanted ? TerminalSafe(ReportOutputFolder(config)) : "disabled") << "\n";
}

// The options that shape the job: standard, verification, mode, stamp, reports and texts.
bool ReadJobOptions(const Args& args, EraseJobConfig& config, EraseRequest& request,
                    std::string& error) {
  config.standard = EraseStandard::NistPurge;
  if (const std::string* text = args.Value("--standard");
      text && !ParseStandard(*text, config.standard)) {
    error = "unknown standard '" + *text +
            "'; use 0 to 7 or one of nist-purge, nist-clear, zero-fill, random, dod, hmg-is5, "
            "dod-ece, gutmann";
    return false;
  }
  config.verifyMode = VerifyMode::Quick;
  if (const std::string* text = args.Value("--verify");
      text && !ParseVerify(*text, config.verifyMode)) {
    error = "unknown verification '" + *text + "'; use none, quick, full or every-pass";
    return false;
  }
  if (!ParseFirmware(args, config, error)) return false;
  if (const std::string* text = args.Value("--progress")) {
    if (*text != "json") {
      error = "unknown progress form '" + *text + "'; use json";
      return false;
    }
    request.progressJson = true;
  }
  config.executionMode = args.Flag("--real") ? ExecutionMode::RealWrite : ExecutionMode::Simulation;
  request.stampWanted = !args.Flag("--no-stamp");
  request.reportsWanted = !args.Flag("--no-reports");
  config.postEraseState =
      request.stampWanted ? PostEraseState::WriteStamp : PostEraseState::PureZero;
  config.logOutputDisabled = request.reportsWanted ? 0 : 1;
  const std::string* outFolder = args.Value("--out");
  if (outFolder != nullptr && !request.reportsWanted) {
    error = "--out and --no-reports exclude each other";
    return false;
  }
  // A folder name that cannot be converted would leave the job without a folder, and the
  // certificates would land wherever the program lies.
  if (outFolder != nullptr && Utf8ToWide(*outFolder).empty()) {
    error = "--out is not valid UTF-8";
    return false;
  }
  if (outFolder != nullptr && !CheckReportFolder(*outFolder, error)) return false;
  for (const char* name : {"--operator", "--organization", "--notes"}) {
    const std::string* text = args.Value(name);
    if (text != nullptr && Utf8ToWide(*text).empty() && !text->empty()) {
      error = std::string(name) + " is not valid UTF-8";
      return false;
    }
  }
  return true;
}

// The target as a disk the job may take (as looked at, and again as opened): of at least one
// sector, large enough for a stamp that was asked for. `tail` is what lies beyond the last
// whole sector.
bool FitTarget(const EraseRequest& request, const Target& target, EraseJobConfig& config,
               uint64_t& tail, std::string& error) {
  config.disk = target.disk;
  const uint32_t sector = config.disk.bytesPerSector;
  tail = config.disk.sizeBytes % sector;
  const uint64_t whole = config.disk.sizeBytes - tail;
  if (whole == 0) {
    error = Quoted(target.given) + " holds no whole " + std::to_string(sector) +
            "-byte sector; there is nothing to erase";
    return false;
  }
  const bool real = config.executionMode == ExecutionMode::RealWrite;
  if (real && request.stampWanted && whole < StampImageLength(sector)) {
    error = Quoted(target.given) + " is smaller than the report stamp (" +
            std::to_string(StampImageLength(sector)) +
            " bytes); pass --no-stamp to erase it without one";
    return false;
  }
  config.disk.sizeBytes = whole;
  return true;
}

// The names and the certificate folder: the command line's, else the settings'; the signing key
// the settings' whenever reports are written. The settings may create folders only when their
// certificate folder is the one the job writes into.
void FillIdentity(const Args& args, const CliServices& services, const EraseRequest& request,
                  EraseJobConfig& config, std::ostream& err) {
  const std::string* outFolder = args.Value("--out");
  const bool folderFromSettings = request.reportsWanted && outFolder == nullptr;
  const bool needSettings = args.Value("--operator") == nullptr ||
                            args.Value("--organization") == nullptr || request.reportsWanted;
  const FolderCreation creation =
      folderFromSettings ? FolderCreation::Allowed : FolderCreation::None;
  std::wstring warning;
  const AppSettings settings = needSettings && services.loadSettings
                                   ? services.loadSettings(creation, warning)
                                   : AppSettings{};
  if (!warning.empty()) err << "tvde-cli: warning: " << TerminalSafe(warning) << "\n";
  const auto text = [&args](const char* name, const std::wstring& fallback) {
    const std::string* given = args.Value(name);
    return given != nullptr ? Utf8ToWide(*given) : fallback;
  };
  config.operatorName = text("--operator", settings.operatorName);
  config.organizationName = text("--organization", settings.organizationName);
  config.notes = text("--notes", L"");
  // A folder given on the command line is taken where the command was typed.
  std::error_code ec;
  config.outputFolder = outFolder != nullptr
                            ? WideOf(std::filesystem::absolute(FsPath(*outFolder), ec))
                            : settings.certOutputDir;
  if (request.reportsWanted) config.signingKeyFile = settings.signingKeyFile;
}

// The certificate folder is proven before the target is opened: no wait or failure there can
// hold the disk. A folder from the settings that is longer than a setting holds was cut into
// another folder on the way (Windows) and is refused as such.
bool ProveReportFolder(const Args& args, const CliServices& services, const EraseJobConfig& config,
                       std::string& error) {
  const std::wstring named = ReportOutputFolder(config);
  const bool fromSettings = args.Value("--out") == nullptr && !config.outputFolder.empty();
  const std::wstring problem = fromSettings && config.outputFolder.size() > kSettingsTextMaxChars
                                   ? L"is longer than the 259 characters a setting holds"
                                   : ReportFolderProblem(named);
  error = "the certificate folder " + Quoted(WideToUtf8(named)) +
          (fromSettings ? " (CertOutputDir in the settings) " : " ");
  if (!problem.empty()) {
    error += WideToUtf8(problem);
    return false;
  }
  const auto& prepare = services.jobEnvironment.prepareReportFolder;
  std::wstring folder;
  if (prepare ? prepare(config, folder) : PrepareReportFolder(config, folder)) return true;
  error += "cannot be made or written to";
  return false;
}

// The terminal's progress line, redrawn in place; a log line is printed above it.
class LiveLine {
 public:
  explicit LiveLine(std::ostream& out) : out_(out) {}
  LiveLine(const LiveLine&) = delete;
  LiveLine& operator=(const LiveLine&) = delete;
  ~LiveLine() { Clear(); }

  // The line is ASCII, so its length is its width on the terminal.
  void Show(const std::string& line) {
    out_ << '\r' << line;
    if (line.size() < shown_.size()) out_ << std::string(shown_.size() - line.size(), ' ');
    out_ << std::flush;
    shown_ = line;
  }
  void Clear() {
    if (shown_.empty()) return;
    out_ << '\r' << std::string(shown_.size(), ' ') << '\r';
    shown_.clear();
  }
  void PrintAbove(const std::string& line) {
    const std::string held = shown_;
    Clear();
    out_ << line << '\n';
    if (!held.empty()) Show(held);
    out_ << std::flush;
  }

 private:
  std::ostream& out_;
  std::string shown_;
};

constexpr uint64_t kLiveLineIntervalMs = 250;

// Runs the job, printing its log lines and its progress with local time stamps: a line a
// second, or on a terminal one line redrawn in place; JSON lines on `err` when asked.
ReportData RunJob(const EraseJobConfig& config, const EraseRequest& request, Target& target,
                  const CliServices& services, std::ostream& out, std::ostream& err) {
  CancelFlag ownCancel{0};
  CancelFlag& cancel = services.cancel != nullptr ? *services.cancel : ownCancel;
  bool abortShown = false;
  LiveLine live(out);
  const auto print = [&live](const std::wstring& line) {
    live.PrintAbove(ConsoleLine(FormatLocalTimestamp(), line));
  };
  const auto showAbort = [&] {
    if (!abortShown && cancel.load() != 0) {
      abortShown = true;
      print(kAbortLine);
    }
  };
  ProgressThrottle throttle(services.outputIsTerminal ? kLiveLineIntervalMs : 1000);
  ProgressThrottle jsonThrottle;
  const ProgressCallback progress = [&](const EraseProgressInfo& record) {
    showAbort();
    const uint64_t now = TickCountMs();
    if (request.progressJson && jsonThrottle.ShouldPrint(record, now)) {
      err << FormatProgressJson(record, SecondsLeft(record, config)) << '\n' << std::flush;
    }
    if (!throttle.ShouldPrint(record, now)) return;
    if (services.outputIsTerminal) {
      live.Show(FormatLiveProgress(record, SecondsLeft(record, config)));
    } else {
      print(FormatProgress(record));
    }
  };
  const LogCallback log = [&](const std::wstring& line) {
    showAbort();
    print(line);
  };

  ReportData result;
  {
    std::optional<InterruptScope> interrupts;
    if (services.catchInterrupt) interrupts.emplace(cancel);
    result = RunEraseJob(CompleteEnvironment(services.jobEnvironment, target, services), config,
                         services.isWinPE, cancel, progress, log);
  }
  live.Clear();
  showAbort();
  if (result.statusCode == kStatusCompleted) {
    // Saved means all three files: a partial save is named file by file in the summary.
    if (!result.htmlPath.empty() && MissingReportFiles(result).empty()) {
      print(L"[CERTIFICATE] 証明書・監査ログ保存完了: " + result.htmlPath);
    }
    print(L"[SHA-256] " + result.sha256Fingerprint);
  }
  return result;
}

}  // namespace

int EraseCommand(const std::vector<std::string>& argv, std::ostream& out, std::ostream& err,
                 const CliServices& services) {
  Args args;
  std::string error;
  if (!ParseArgs(argv,
                 {"--standard", "--verify", "--real", "--no-stamp", "--out", "--no-reports",
                  "--operator", "--organization", "--notes", "--sector-size", "--block-device",
                  "--confirm", "--firmware", "--progress"},
                 args, error)) {
    return BadInput(err, error);
  }
  if (args.positional.size() != 1) return BadInput(err, "erase needs exactly one TARGET");
  const std::string& path = args.positional[0];

  EraseJobConfig config;
  EraseRequest request;
  if (!ReadJobOptions(args, config, request, error)) return BadInput(err, error);
  Target target;
  uint64_t tail = 0;
  if (!OpenTarget(path, Access::Write, Opening::LookOnly, args, target, error) ||
      !FitTarget(request, target, config, tail, error)) {
    return BadInput(err, error);
  }
  const bool real = config.executionMode == ExecutionMode::RealWrite;
  if (real || args.Value("--confirm") != nullptr) {
    if (!ConfirmWrite(target, "every byte of", args, services, err, error)) {
      err << "tvde-cli: nothing was written.\n";
      return BadInput(err, error);
    }
  }
  FillIdentity(args, services, request, config, err);
  if (request.reportsWanted && !ProveReportFolder(args, services, config, error)) {
    return BadInput(err, error + "; nothing was written");
  }
  if (real && (!OpenLookedTarget(target, error, services.beforeTargetOpen) ||
               !FitTarget(request, target, config, tail, error))) {
    return BadInput(err, error);
  }

  // Everything is checked and the target is open; from here on files may be written.
  if (tail != 0) {
    out << "Note: the last " << tail << " bytes of '" << TerminalSafe(path)
        << "' are less than one sector and are left as they are.\n";
  }
  PrintHeader(out, config, request);
  const ReportData result = RunJob(config, request, target, services, out, err);
  out << FormatSummary(result, request) << std::flush;
  return EraseExitCode(result, request);
}

}  // namespace tvde::cli
