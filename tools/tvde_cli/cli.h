#pragma once
// The console front end: subcommands that work on image files (and, when asked, unmounted
// block devices). Everything it needs from outside is passed in, so tests run it in-process.

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "bootprog/boot_programs.h"
#include "disk/disk_info.h"
#include "report/hardware_profile.h"

namespace tvde::cli {

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;    // the operation ran and failed, or no stamp was found
inline constexpr int kExitBadInput = 2;  // bad arguments, input or target; nothing was written

struct CliServices {
  BootPrograms programs;
  std::function<HardwareProfile(const DiskInfo&)> collectHardware;
};

// Runs one command line (arguments after the program name, UTF-8) and returns the exit code.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliServices& services);

// The usage text printed by "help" and after a usage error.
std::string UsageText();

}  // namespace tvde::cli
