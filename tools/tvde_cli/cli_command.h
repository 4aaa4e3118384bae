#pragma once
// What the commands of the console tool share: option parsing, messages, the typed
// confirmation, and the commands themselves.

#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
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
// "--name=value"; "--" ends the options. Only the options in `allowed` are accepted; any other
// argument starting with '-' (but "-" alone) is refused as an unknown option.
bool ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& allowed,
               Args& parsed, std::string& error);

// The length in bytes of the UTF-8 sequence at `at` when a terminal would obey it or it would
// break or reorder a line: C0 controls and DEL (1), C1 controls and the Arabic letter mark (2), the
// direction marks, line and paragraph separators and direction embeddings, overrides and isolates
// (3); else 0.
size_t UnsafeSequenceLength(std::string_view text, size_t at);

// Text from the system, a file or the command line made safe for one terminal line: each byte
// of an unsafe sequence (a line break that would start a line of its own, an escape sequence, a
// mark that reorders the line) becomes an octal escape, as /proc/mounts writes them ("\012").
std::string TerminalSafe(std::string_view text);
std::string TerminalSafe(const std::wstring& text);

// Prints each log line as it comes.
LogCallback PrintTo(std::ostream& out);

// Prints the message and the pointer to the help; answers kExitBadInput.
int BadInput(std::ostream& err, const std::string& message);

// "Model, serial S, size (N bytes, S-byte sectors), bus / media".
std::string DescribeDisk(const DiskInfo& disk);

// A write to a block device goes ahead only after "ERASE " and the device's own path (as the
// system names it) was typed on the input or given with --confirm; `damage` says what is
// destroyed ("every byte of", "the stamp area (the first 128 KiB) of"). An image file needs
// nothing, unless --confirm is given, which must then name it.
bool ConfirmWrite(const Target& target, const char* damage, const Args& args,
                  const CliServices& services, std::ostream& err, std::string& error);

// The target's open device, wrapped as the services ask.
std::unique_ptr<Device> TakeDevice(Target& target, const CliServices& services);

// The commands.
int EraseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const CliServices& services);
int StampWriteCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CliServices& services);
int StampReadCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     const CliServices& services);
int StampEraseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                      const CliServices& services);
int ListCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const CliServices& services);

}  // namespace tvde::cli
