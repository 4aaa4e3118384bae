// Splitting the logical drive list.
#include "base/drive_strings.h"

namespace tvde {

std::vector<std::wstring> SplitDriveStrings(std::wstring_view chars) {
  std::vector<std::wstring> roots;
  size_t start = 0;
  while (start < chars.size()) {
    size_t end = chars.find(L'\0', start);
    if (end == std::wstring_view::npos) end = chars.size();
    if (end == start) break;  // the empty string ends the list
    roots.emplace_back(chars.substr(start, end - start));
    start = end + 1;
  }
  return roots;
}

}  // namespace tvde
