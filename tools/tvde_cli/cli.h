#pragma once
// The console front end: the whole erase job and the stamp subcommands on image files (and,
// when asked, unmounted block devices). Everything it needs from outside is passed in, so
// tests run it in-process.

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

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
// erase: the job completed, but the certificate files or the stamp asked for were not written.
inline constexpr int kExitIncomplete = 4;

struct CliServices {
  BootPrograms programs;
  std::function<HardwareProfile(const DiskInfo&)> collectHardware;

  // erase: what the job does to the outside world; empty members are the real ones.
  EraseJobEnvironment jobEnvironment;
  // erase: operator, organisation and certificate folder defaults; empty: built-in defaults.
  // Called with FolderCreation::None when the job writes no files into the settings' folder.
  std::function<AppSettings(FolderCreation creation)> loadSettings;
  // erase: where the typed confirmation for a block device is read; null: it cannot be typed.
  std::istream* input = nullptr;
  // erase: the flag the job reads; null: a flag of the command's own.
  CancelFlag* cancel = nullptr;
  // erase: Ctrl+C asks the job to stop (the program turns this on; tests leave it off).
  bool catchInterrupt = false;
  int32_t isWinPE = 0;
};

// Runs one command line (arguments after the program name, UTF-8) and returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliServices& services);

// The usage text printed by "help" and after a usage error.
std::string UsageText();

}  // namespace tvde::cli
