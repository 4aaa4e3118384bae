#pragma once
// Files of a set being written that an abrupt end of the program must not leave behind: a
// certificate without its audit log and JSON report, a temporary file. While a guard lives, its
// files are on record; RemoveUnfinishedFiles, safe inside a signal or console-control handler,
// deletes whatever of them exists.

#include <string>
#include <vector>

namespace tvde {

class UnfinishedFiles {
 public:
  // One set at a time; a path too long for the record is not kept.
  explicit UnfinishedFiles(const std::vector<std::wstring>& paths);
  ~UnfinishedFiles();  // the set is done (whole, or its failures reported): off the record
  UnfinishedFiles(const UnfinishedFiles&) = delete;
  UnfinishedFiles& operator=(const UnfinishedFiles&) = delete;
};

// Marks the program as ending and deletes every file on record, after a file being put in
// place has gone there. Allocates nothing and takes no lock.
void RemoveUnfinishedFiles();

// Brackets renaming one finished file of the set into place. False once RemoveUnfinishedFiles
// began: the file must not go in place. A removal that begins in between waits (a few seconds
// at most) for EndPlacingFile. On POSIX the hard-stop signals are held off this thread
// meanwhile, so that the removal never waits on the thread it interrupted.
bool BeginPlacingFile();
void EndPlacingFile();

}  // namespace tvde
