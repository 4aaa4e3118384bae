#pragma once
// One way to start the external tools of the media builder: a command line run hidden through the
// command interpreter, its console output streamed line by line into the log.

#include <cstdint>
#include <functional>
#include <string>

#include "base/log_callback.h"

namespace tvde {

// The interpreter's command line for `command`: "cmd.exe /c" and the whole command wrapped in
// one more pair of quotes. The interpreter strips exactly the first and the last quote, so a
// command that starts with a quoted program path and ends with a quoted argument arrives intact.
inline std::wstring ShellCommandLine(const std::wstring& command) {
  return L"cmd.exe /c \"" + command + L"\"";
}

// Windows build only. Runs `command` without a window, standard input closed, standard output
// and standard error in one pipe. Each non-empty output line goes to `log` (if set) as "  " +
// the line converted from the ANSI code page, while the tool runs; a last line without a line
// end is delivered when the tool ends. Returns 1 when the process could not be started or ended
// with a non-zero exit code, else 0. No time-out: a tool that never ends blocks the caller.
int32_t RunShellCommand(const std::wstring& command, LogCallback log);

// How the builder starts its tools (RunShellCommand, or a recording wrapper in tests).
using CommandRunner = std::function<int32_t(const std::wstring& command, LogCallback log)>;

}  // namespace tvde
