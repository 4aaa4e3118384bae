// There are no drive letters outside Windows.
#include "base/drive_strings.h"

namespace tvde {

std::optional<std::vector<std::wstring>> QueryLogicalDriveRoots() {
  return std::vector<std::wstring>{};
}

}  // namespace tvde
