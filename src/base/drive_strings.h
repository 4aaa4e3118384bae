#pragma once
// The list of logical drive roots ("C:\", "E:\", ...) as the system reports it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvde {

// Splits a double-zero-terminated root list ("C:\<0>D:\<0><0>") into its roots; `chars` is the
// length the system reported (an empty string also ends the list).
std::vector<std::wstring> SplitDriveStrings(std::wstring_view chars);

// The roots of every logical drive in the system's order; nothing when the list cannot be read.
// Always empty outside Windows.
std::optional<std::vector<std::wstring>> QueryLogicalDriveRoots();

}  // namespace tvde
