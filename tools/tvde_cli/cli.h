#pragma once
// The console front end: the whole erase job and the stamp subcommands on image files (and,
// when asked, unmounted block devices), and the list of the machine's disks. Everything it
// needs from outside is passed in, so tests run it in-process.

#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/device.h"
#include "bootprog/boot_programs.h"
#include "disk/disk_info.h"
#include "erase/erase_job.h"
#include "hardware/hardware_profile.h"
#include "job/erase_job_driver.h"
#include "settings/app_settings.h"

namespace tvde::cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;     // the operation ran and failed, or no stamp was found
inline constexpr int kExitBadInput = 2;   // bad arguments, input or target; nothing was written
inline constexpr int kExitCancelled = 3;  // erase: the job was cancelled (its record is written)
// erase: the job completed, but the certificate files, their signature or the stamp asked for
// were not written.
inline constexpr int kExitIncomplete = 4;

struct CliServices {
  BootPrograms programs;
  std::function<HardwareProfile(const DiskInfo&)> collectHardware;

  // erase: what the job does with its certificate files; empty members are the real ones. The
  // device and its volumes are the command's own: the target it opened, and nothing else.
  EraseJobEnvironment jobEnvironment;
  // erase: operator, organisation and certificate folder defaults, and a warning when the
  // settings file cannot be used; empty: built-in defaults. Called with FolderCreation::None
  // when the job writes no files into the settings' folder.
  std::function<AppSettings(FolderCreation creation, std::wstring& warning)> loadSettings;
  // erase and the stamp commands: wraps the target's open device (tests inject faults this
  // way); empty: the device as opened.
  std::function<std::unique_ptr<Device>(std::unique_ptr<Device>)> interposeDevice;
  // erase and the stamp commands (tests): runs between the checks of the target and its open.
  std::function<void(const std::string& path)> beforeTargetOpen;
  // list: the disks to show; empty: the system's.
  std::function<std::vector<DiskInfo>()> listDisks;
  // erase and the stamp commands: where the typed confirmation for a block device is read;
  // null: it cannot be typed.
  std::istream* input = nullptr;
  // erase: the flag the job reads; null: a flag of the command's own.
  CancelFlag* cancel = nullptr;
  // erase: Ctrl+C asks the job to stop (the program turns this on; tests leave it off).
  bool catchInterrupt = false;
  // erase: standard output is a terminal, so progress is one line redrawn in place.
  bool outputIsTerminal = false;
  int32_t isWinPE = 0;
};

// Runs one command line (arguments after the program name, UTF-8) and returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliServices& services);

// The usage text printed by "help" and after a usage error.
std::string UsageText();

}  // namespace tvde::cli
