#pragma once
// What the program learns about its machine at start-up: administrator rights and whether it
// runs inside Windows PE (Windows build only).

#include <optional>
#include <string>

namespace tvde {

// Membership of the calling thread's effective token in the built-in Administrators group; an
// administrator whose process is not elevated answers false.
bool IsRunningAsAdmin();

// The MiniNT key under HKEY_LOCAL_MACHINE opens, or Windows runs from drive X:.
bool IsWinPEEnvironment();

// The decision behind IsWinPEEnvironment: `systemDirectory` is nothing when it could not be read.
bool IsWinPEFromFacts(bool miniNtKeyOpens, const std::optional<std::wstring>& systemDirectory);

}  // namespace tvde
