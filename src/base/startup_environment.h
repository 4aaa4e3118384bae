#pragma once
// What the program learns about its machine at start-up: administrator rights and whether it
// runs inside Windows PE.

#include <optional>
#include <string>

namespace tvde {

// Windows: membership of the calling thread's effective token in the built-in Administrators
// group (an administrator whose process is not elevated answers false). Linux: effective uid 0.
bool IsRunningAsAdmin();

// Windows: the MiniNT key under HKEY_LOCAL_MACHINE opens, or Windows runs from drive X:.
// Always false on Linux.
bool IsWinPEEnvironment();

// The decision behind IsWinPEEnvironment: `systemDirectory` is nothing when it could not be read.
bool IsWinPEFromFacts(bool miniNtKeyOpens, const std::optional<std::wstring>& systemDirectory);

// First thing at every entry point. Windows: a drive without media (an empty card reader)
// gives a failed call instead of a blocking system message box, and DLLs loaded by name come
// from the system folder only, never from the program's or the current folder (an elevated
// program started from a download folder or a USB stick must not load a planted DLL).
// Nothing elsewhere.
void HardenProcessStart();

}  // namespace tvde
