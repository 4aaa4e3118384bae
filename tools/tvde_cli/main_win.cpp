// Entry of the console tool on Windows: wide arguments converted to UTF-8, UTF-8 console output.
#include <windows.h>

#include <iostream>

#include "base/text.h"
#include "cli.h"

int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i)
    args.push_back(tvde::WideToUtf8(argv[i]));
  const tvde::cli::CliServices services{tvde::EmbeddedBootPrograms(), tvde::CollectHardwareProfile};
  return tvde::cli::RunCli(args, std::cout, std::cerr, services);
}
