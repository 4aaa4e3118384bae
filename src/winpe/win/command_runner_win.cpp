// RunShellCommand: the interpreter started hidden with one pipe for both output streams.
#include <windows.h>

#include <cwchar>
#include <string_view>
#include <vector>

#include "base/win/ansi_text.h"
#include "base/win/win_handle.h"
#include "winpe/command_runner.h"
#include "winpe/output_lines.h"

namespace tvde {
namespace {

constexpr DWORD kReadBufferBytes = 512;

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length);
}

// The caller's environment with ToolEnvironment's changes, as a block for CreateProcessW.
std::wstring ToolEnvironmentBlock() {
  std::vector<std::wstring> entries;
  if (wchar_t* block = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
      entries.emplace_back(entry);
    }
    FreeEnvironmentStringsW(block);
  }
  std::wstring result;
  for (const std::wstring& entry : ToolEnvironment(std::move(entries))) {
    result += entry;
    result.push_back(L'\0');
  }
  result.push_back(L'\0');
  return result;
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
  std::wstring environment = ToolEnvironmentBlock();
  // The interpreter and the folder it starts in are the system folder's: the program runs
  // elevated, and a bare name is looked up in the current folder first (a "cmd.exe" or
  // "xcopy.exe" planted beside the program or in a download folder must not be started).
  const std::wstring systemFolder = SystemFolder();
  if (systemFolder.empty()) return 1;
  const std::wstring interpreter = systemFolder + L"\\cmd.exe";
  const BOOL started = CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr,
                                      TRUE, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                                      environment.data(), systemFolder.c_str(), &startup, &process);
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
