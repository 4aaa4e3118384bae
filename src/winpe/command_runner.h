#pragma once
// One way to start the external tools of the media builder: a command line run hidden through the
// command interpreter, its console output streamed line by line into the log.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/log_callback.h"

namespace tvde {

// The interpreter's command line for `command`: "cmd.exe /c" and the whole command wrapped in
// one more pair of quotes. The interpreter strips exactly the first and the last quote, so a
// command that starts with a quoted program path and ends with a quoted argument arrives intact.
// Every '%' is written so that the interpreter keeps it ("%%cd:~,%": a '%' followed by an
// expansion that is always empty): the commands hold paths, never variables, and a folder named
// "%TEMP%" must stay that folder even inside quotes, where no other escape works.
std::wstring ShellCommandLine(const std::wstring& command);

// The environment of the tools: the caller's `entries` ("NAME=value") with
// NoDefaultCurrentDirectoryInExePath set, so the interpreter never looks for a tool in the
// current folder; sorted by name without regard to case, as the system keeps it.
std::vector<std::wstring> ToolEnvironment(std::vector<std::wstring> entries);

// Windows build only. Runs `command` without a window in the system folder, standard input
// closed, standard output and standard error in one pipe, with the ToolEnvironment. Each non-empty
// output line goes to `log` (if set) as "  " + the line converted from the ANSI code page, while
// the tool runs; a last line without a line end is delivered when the tool ends. Returns 1 when the
// process could not be started or ended with a non-zero exit code, else 0. No time-out: a tool that
// never ends blocks the caller.
int32_t RunShellCommand(const std::wstring& command, LogCallback log);

// How the builder starts its tools (RunShellCommand, or a recording wrapper in tests).
using CommandRunner = std::function<int32_t(const std::wstring& command, LogCallback log)>;

}  // namespace tvde
