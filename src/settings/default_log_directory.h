#pragma once
// The default folder for certificates and audit logs: a removable drive under WinPE, else the
// user's Documents, else a folder beside the program.

#include <functional>
#include <string>
#include <vector>

namespace tvde {

// Finds the default folder and creates it when possible (never fails; the answer may name a
// folder that could not be created).
std::wstring ResolveDefaultLogDirectory();

// One logical drive as the system lists it.
struct DriveRootFact {
  std::wstring root;  // "E:\"
  bool removable = false;
};

// Everything the folder choice depends on, gathered from the system beforehand.
struct LogDirectoryFacts {
  bool isWinPE = false;
  std::vector<DriveRootFact> drives;  // in the order the system returns them
  std::wstring documentsFolder;       // empty when unknown
  std::wstring modulePath;            // full path of the running program; may be empty
  wchar_t separator = L'\\';          // '/' for the POSIX build
};

struct LogDirectoryCandidate {
  std::wstring folder;
  // A WinPE drive folder counts only when it could be created or already exists; the later
  // candidates are taken whatever their creation gives.
  bool requiresCreation = false;
};

// The folders to try, in order. The last candidate never requires creation.
std::vector<LogDirectoryCandidate> DefaultLogDirectoryCandidates(const LogDirectoryFacts& facts);

// Walks the candidates, calling `createFolder` on each (true: created or already there), and
// answers the first one that is accepted.
std::wstring PickDefaultLogDirectory(
    const std::vector<LogDirectoryCandidate>& candidates,
    const std::function<bool(const std::wstring& folder)>& createFolder);

}  // namespace tvde
