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

// Deletes every file on record and marks the program as ending. Allocates nothing and takes no
// lock; it may run again to catch a file put in place meanwhile.
void RemoveUnfinishedFiles();

// True once RemoveUnfinishedFiles ran: the program is ending, and a report file still being
// written must not be put in place.
bool HardStopBegun();

}  // namespace tvde
