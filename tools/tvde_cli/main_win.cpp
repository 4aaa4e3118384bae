// Entry of the console tool on Windows: process hardening first, wide arguments converted to
// UTF-8, UTF-8 console output and input for the run, the operator's code pages given back.
#include <windows.h>

#include <iostream>

#include "base/startup_environment.h"
#include "base/text.h"
#include "cli.h"

namespace {

// Switches the console to UTF-8 and gives back, on every return, the code pages it changed:
// the console outlives the tool and goes on serving the operator's shell.
class Utf8Console {
 public:
  Utf8Console() : input_(GetConsoleCP()), output_(GetConsoleOutputCP()) {
    // 0: no console (output redirected to a file or pipe); nothing to change.
    outputChanged_ = output_ != 0 && output_ != CP_UTF8 && SetConsoleOutputCP(CP_UTF8);
    inputChanged_ = input_ != 0 && input_ != CP_UTF8 && SetConsoleCP(CP_UTF8);
  }
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;
  ~Utf8Console() {
    if (outputChanged_) SetConsoleOutputCP(output_);
    if (inputChanged_) SetConsoleCP(input_);
  }

 private:
  UINT input_;
  UINT output_;
  bool inputChanged_ = false;
  bool outputChanged_ = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  tvde::HardenProcessStart();
  const Utf8Console console;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(tvde::WideToUtf8(argv[i]));
  tvde::cli::CliServices services;
  services.programs = tvde::EmbeddedBootPrograms();
  services.collectHardware = tvde::CollectHardwareProfile;
  services.loadSettings = [](tvde::FolderCreation creation, std::wstring& warning) {
    return tvde::LoadSettings(warning, creation);
  };
  services.input = &std::cin;
  services.catchInterrupt = true;
  DWORD consoleMode = 0;
  services.outputIsTerminal = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &consoleMode) != 0;
  services.isWinPE = tvde::IsWinPEEnvironment() ? 1 : 0;
  const int status = tvde::cli::RunCli(args, std::cout, std::cerr, services);
  std::cout.flush();  // everything in UTF-8 before the code page goes back
  return status;
}
