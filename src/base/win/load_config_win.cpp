// The image's load configuration, linked into each executable of the Windows build.
//
// Statically imported DLLs are resolved before any code of the program runs, and by default the
// folder of the executable is searched first: a DLL named like bcrypt.dll or setupapi.dll put
// beside the program (say in Downloads) would run with the program's rights. DependentLoadFlags
// limits the search for the imports to System32. The linker does not fill the image's load
// configuration entry itself; cmake/pe_load_config.py points it at this record after linking.
#include <windows.h>

#include <cstddef>

namespace {

#ifdef _WIN64
// The header's record predates the field: DependentLoadFlags is the WORD after CSDVersion.
using LoadConfig = IMAGE_LOAD_CONFIG_DIRECTORY64;
constexpr DWORD kLoadConfigBytes = sizeof(LoadConfig);
#else
// Without the structured-exception-handler fields, which would declare that the image has no
// valid handler at all.
using LoadConfig = IMAGE_LOAD_CONFIG_DIRECTORY32;
constexpr DWORD kLoadConfigBytes = offsetof(LoadConfig, SEHandlerTable);
#endif

constexpr LoadConfig MakeLoadConfig() {
  LoadConfig config{};
  config.Size = kLoadConfigBytes;
  config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;  // DependentLoadFlags
  return config;
}

}  // namespace

// The name the loader's record is known by; `used` keeps it through the link.
extern "C" [[gnu::used]] constinit const LoadConfig _load_config_used = MakeLoadConfig();
