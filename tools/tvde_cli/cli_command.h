#pragma once
// What the commands of the console tool share: option parsing, target resolution, messages.

#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "base/log_callback.h"
#include "cli.h"
#include "cli_target.h"
#include "disk/disk_info.h"
#include "erase/erase_standard.h"

namespace tvde::cli {

// Names --standard accepts besides the numbers 0 to 7, in the order of the numbers.
inline constexpr const char* kStandardNames[kStandardCount] = {
    "nist-purge", "nist-clear", "zero-fill", "random", "dod", "hmg-is5", "dod-ece", "gutmann"};

struct Args {
  std::map<std::string, std::string> values;  // options given once with a value
  std::vector<std::string> fields;            // --field, which may repeat
  std::set<std::string> flags;                // options without a value that were given
  uint32_t sectorSize = 0;                    // 0: not given
  std::vector<std::string> positional;

  bool Flag(const std::string& name) const { return flags.count(name) != 0; }
  // Null when the option was not given.
  const std::string* Value(const std::string& name) const;
};

// Parses the arguments after the command name (args[0]). Options are "--name value" or
// "--name=value"; "--" ends the options. Only the options in `allowed` are accepted.
bool ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& allowed,
               Args& parsed, std::string& error);

enum class Access { Read, Write, WriteOrCreate };

// Decides whether the path may be used and describes it as a disk: the size it has, the
// sector size to use, and for a block device the model and serial the system reports.
// Nothing is opened for writing here; a target that fails a check never gets a disk record
// that allows a write.
bool ResolveTarget(const std::string& path, Access access, const Args& args, DiskInfo& disk,
                   TargetInfo& info, std::string& error);

// Prints each log line as it comes.
LogCallback PrintTo(std::ostream& out);

// Prints the message and the pointer to the help; answers kExitBadInput.
int BadInput(std::ostream& err, const std::string& message);

// The erase command.
int EraseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const CliServices& services);

}  // namespace tvde::cli
