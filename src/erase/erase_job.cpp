// Texts of the erase request enumerations.
#include "erase/erase_job.h"

namespace tvde {

std::wstring VerifyModeLabel(VerifyMode mode) {
  switch (mode) {
    case VerifyMode::None:
      return L"検証なし (Skip Verify)";
    case VerifyMode::Quick:
      return L"クイック検証 (Quick Sample Verify)";
    case VerifyMode::Full:
      return L"全領域検証 (Full Surface Verify)";
    case VerifyMode::EveryPass:
      return L"全パス検証 (Verify Every Pass)";
  }
  return L"";
}

}  // namespace tvde
