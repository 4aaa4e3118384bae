// Entry of the console tool on POSIX systems: arguments arrive as UTF-8.
#include <iostream>

#include "cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const tvde::cli::CliServices services{tvde::EmbeddedBootPrograms(), tvde::CollectHardwareProfile};
  return tvde::cli::RunCli(args, std::cout, std::cerr, services);
}
