// Trimming and joining of hardware texts.
#include "hardware/hardware_text.h"

namespace tvde {

std::wstring TrimWhitespace(const std::wstring& text) {
  constexpr const wchar_t* kBlank = L" \t\r\n";
  const size_t first = text.find_first_not_of(kBlank);
  if (first == std::wstring::npos) return {};
  const size_t last = text.find_last_not_of(kBlank);
  return text.substr(first, last - first + 1);
}

std::wstring JoinStrings(const std::vector<std::wstring>& items, const std::wstring& separator) {
  std::wstring out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += separator;
    out += items[i];
  }
  return out;
}

}  // namespace tvde
