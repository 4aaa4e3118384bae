#pragma once
// A DLL loaded at run time from the Windows system folder only (Windows build only). An
// elevated program started from a download folder or a USB stick must never pick up a DLL
// of the same name planted beside it or in the current folder.

#include <windows.h>

namespace tvde {

class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name)
      : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;
  ~SystemLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  bool loaded() const { return module_ != nullptr; }

  // The exported function as type `Function`; null when the library or the export is missing.
  template <typename Function>
  Function Find(const char* exportName) const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, exportName)));
  }

 private:
  HMODULE module_;
};

}  // namespace tvde
