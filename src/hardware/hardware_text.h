#pragma once
// Small text helpers used while composing the hardware profile.

#include <string>
#include <vector>

namespace tvde {

// Without leading and trailing space, tab, carriage return and line feed.
std::wstring TrimWhitespace(const std::wstring& text);

// The items with the separator between neighbours.
std::wstring JoinStrings(const std::vector<std::wstring>& items, const std::wstring& separator);

}  // namespace tvde
