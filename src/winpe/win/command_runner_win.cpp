// RunShellCommand: the interpreter started hidden with one pipe for both output streams.
#include <windows.h>

#include <string_view>

#include "base/win/ansi_text.h"
#include "base/win/win_handle.h"
#include "winpe/command_runner.h"
#include "winpe/output_lines.h"

namespace tvde {
namespace {

constexpr DWORD kReadBufferBytes = 512;

// The interpreter of the system folder. Naming it keeps a "cmd.exe" planted beside the program
// (which runs elevated) from being started by the search that a bare name would trigger.
std::wstring SystemInterpreter() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length) + L"\\cmd.exe";
}

}  // namespace

int32_t RunShellCommand(const std::wstring& command, LogCallback log) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return 1;
  WinHandle reader(readEnd);
  WinHandle writer(writeEnd);
  // Only the write end goes to the child; an inherited read end would keep the pipe open.
  SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

  // Standard input is the NUL device: reading it ends at once. (With no input handle at all,
  // a child of the hidden console may wait for console input for ever.)
  WinHandle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              &inheritable, OPEN_EXISTING, 0, nullptr));

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = input.valid() ? input.get() : nullptr;
  startup.hStdOutput = writer.get();
  startup.hStdError = writer.get();
  PROCESS_INFORMATION process{};
  std::wstring commandLine = ShellCommandLine(command);
  const std::wstring interpreter = SystemInterpreter();
  const BOOL started = CreateProcessW(interpreter.empty() ? nullptr : interpreter.c_str(),
                                      commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                      nullptr, nullptr, &startup, &process);
  // From here the pipe ends when the child and every grandchild holding the write end are gone.
  writer.Reset();
  if (!started) return 1;
  WinHandle processHandle(process.hProcess);
  WinHandle threadHandle(process.hThread);

  OutputLineCutter cutter([&log](std::string_view line) {
    if (!log) return;
    const std::wstring wide = AnsiToWide(line);
    if (!wide.empty()) log(L"  " + wide);
  });
  char buffer[kReadBufferBytes];
  DWORD received = 0;
  // A failed read is the normal end (broken pipe); any other error ends the reading too, and the
  // exit code still decides.
  while (ReadFile(reader.get(), buffer, kReadBufferBytes - 1, &received, nullptr) && received > 0) {
    cutter.Append(std::string_view(buffer, received));
  }
  cutter.Finish();

  WaitForSingleObject(processHandle.get(), INFINITE);
  DWORD exitCode = 1;  // stays 1 when the query fails
  GetExitCodeProcess(processHandle.get(), &exitCode);
  return exitCode != 0 ? 1 : 0;
}

}  // namespace tvde
