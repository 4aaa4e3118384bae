#pragma once
// Where an installed Windows ADK keeps what the media builder needs, and how complete it is.

#include <cstdint>
#include <string>
#include <vector>

namespace tvde {

enum AdkStatus : int32_t {
  kAdkReady = 0,         // deployment tools and WinPE add-on present
  kAdkWinPEMissing = 1,  // deployment tools present, WinPE add-on missing
  kAdkMissing = 2,       // no deployment tools
};

// The two standard install folders, "Program Files (x86)" first.
std::vector<std::wstring> DefaultAdkRootCandidates();

// The first candidate that exists as a folder; the first candidate when none does, so that
// every path built on it simply does not exist.
std::wstring ResolveAdkRoot(const std::vector<std::wstring>& candidates);

std::wstring AdkEnvironmentScript(const std::wstring& adkRoot);
std::wstring AdkWinPEMarker(const std::wstring& adkRoot);
std::wstring AdkX86WinPEImage(const std::wstring& adkRoot);

// Existence means the path has file attributes, file or folder alike.
int32_t AdkStatusAt(const std::wstring& adkRoot);
bool HasX86WinPEAt(const std::wstring& adkRoot);

// The same on the standard install folders.
std::wstring GetAdkRoot();
int32_t GetAdkStatus();
bool HasX86WinPE();

// The main window's one-line ADK status.
std::wstring AdkStatusLabelText(int32_t status, bool hasX86WinPE);

}  // namespace tvde
