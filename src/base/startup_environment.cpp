// The WinPE decision shared by both builds.
#include "base/startup_environment.h"

namespace tvde {

bool IsWinPEFromFacts(bool miniNtKeyOpens, const std::optional<std::wstring>& systemDirectory) {
  if (miniNtKeyOpens) return true;
  if (!systemDirectory || systemDirectory->empty()) return false;
  // WinPE runs from its RAM disk, drive X:.
  const wchar_t drive = (*systemDirectory)[0];
  return drive == L'X' || drive == L'x';
}

}  // namespace tvde
