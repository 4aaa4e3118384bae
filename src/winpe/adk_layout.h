#pragma once
// Where an installed Windows ADK keeps what the media builder needs, and how complete it is.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tvde {

enum AdkStatus : int32_t {
  kAdkReady = 0,         // deployment tools and WinPE add-on present
  kAdkWinPEMissing = 1,  // deployment tools present, WinPE add-on missing
  kAdkMissing = 2,       // no deployment tools
  // Both present, but of different builds: the ADK's DISM cannot service the add-on's image.
  kAdkVersionMismatch = 3,
};

// The version resource of a file as "major.minor.build.revision"; empty when it has none.
using FileVersionReader = std::function<std::wstring(const std::wstring& file)>;

// The two standard install folders, "Program Files (x86)" first.
std::vector<std::wstring> DefaultAdkRootCandidates();

// The first candidate that exists as a folder; the first candidate when none does, so that
// every path built on it simply does not exist.
std::wstring ResolveAdkRoot(const std::vector<std::wstring>& candidates);

std::wstring AdkEnvironmentScript(const std::wstring& adkRoot);
std::wstring AdkWinPEMarker(const std::wstring& adkRoot);
std::wstring AdkX86WinPEImage(const std::wstring& adkRoot);

// The files whose versions stand for the ADK (its DISM) and for the WinPE add-on (the x64
// WinPE's boot manager).
std::wstring AdkVersionFile(const std::wstring& adkRoot);
std::wstring WinPEAddonVersionFile(const std::wstring& adkRoot);

// True when both versions are known and their builds (the third numbers) differ.
bool AdkVersionsDiffer(const std::wstring& adkVersion, const std::wstring& addonVersion);

// Existence means the path has file attributes, file or folder alike. A version that cannot be
// read does not count as a mismatch.
int32_t AdkStatusAt(const std::wstring& adkRoot, const FileVersionReader& readVersion);
bool HasX86WinPEAt(const std::wstring& adkRoot);

// The main window's one-line ADK status.
std::wstring AdkStatusLabelText(int32_t status, bool hasX86WinPE);

}  // namespace tvde
