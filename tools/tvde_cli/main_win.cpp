// Entry of the console tool on Windows: wide arguments converted to UTF-8, UTF-8 console
// output and input.
#include <windows.h>

#include <iostream>

#include "base/startup_environment.h"
#include "base/text.h"
#include "cli.h"

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(tvde::WideToUtf8(argv[i]));
  tvde::cli::CliServices services;
  services.programs = tvde::EmbeddedBootPrograms();
  services.collectHardware = tvde::CollectHardwareProfile;
  services.loadSettings = [](std::wstring& warning) { return tvde::LoadSettings(warning); };
  services.input = &std::cin;
  services.catchInterrupt = true;
  services.isWinPE = tvde::IsWinPEEnvironment() ? 1 : 0;
  return tvde::cli::RunCli(args, std::cout, std::cerr, services);
}
