// Entry of the console tool on POSIX systems: arguments arrive as UTF-8.
#include <unistd.h>

#include <iostream>

#include "cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  tvde::cli::CliServices services;
  services.programs = tvde::EmbeddedBootPrograms();
  services.collectHardware = tvde::CollectHardwareProfile;
  services.loadSettings = [](tvde::FolderCreation creation, std::wstring& warning) {
    return tvde::LoadSettings(warning, creation);
  };
  services.input = &std::cin;
  services.catchInterrupt = true;
  services.outputIsTerminal = isatty(STDOUT_FILENO) == 1;
  return tvde::cli::RunCli(args, std::cout, std::cerr, services);
}
