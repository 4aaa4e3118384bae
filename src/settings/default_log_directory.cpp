// Choice of the default certificate folder from gathered facts.
#include "settings/default_log_directory.h"

#include "base/host_environment.h"

namespace tvde {
namespace {

wchar_t AsciiUpper(wchar_t c) {
  return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

}  // namespace

std::vector<LogDirectoryCandidate> DefaultLogDirectoryCandidates(const LogDirectoryFacts& facts) {
  std::vector<LogDirectoryCandidate> candidates;
  if (facts.isWinPE) {
    for (const DriveRootFact& drive : facts.drives) {
      if (drive.root.size() < 2) continue;
      // X: is the WinPE RAM disk, lost at restart; A: and B: are floppy drives.
      const wchar_t letter = AsciiUpper(drive.root[0]);
      if (letter == L'X' || letter == L'A' || letter == L'B') continue;
      if (!drive.removable) continue;
      candidates.push_back({drive.root + L"Toreval_Erasure_Logs", true});
    }
  }
  if (!facts.documentsFolder.empty()) {
    candidates.push_back(
        {facts.documentsFolder + facts.separator + L"Toreval Disk Eraser Certificates", false});
  }
  candidates.push_back(
      {DirectoryOfPath(facts.modulePath) + facts.separator + L"Certificates", false});
  return candidates;
}

std::wstring PickDefaultLogDirectory(
    const std::vector<LogDirectoryCandidate>& candidates,
    const std::function<bool(const std::wstring& folder)>& createFolder) {
  for (const LogDirectoryCandidate& candidate : candidates) {
    const bool created = createFolder(candidate.folder);
    if (created || !candidate.requiresCreation) return candidate.folder;
  }
  return {};
}

}  // namespace tvde
