#pragma once
// The attached loop devices of a block-device snapshot and the files behind them. A loop
// device reports the overlay's device number for a file it reaches through an overlay, so such
// a file is also known by the layer files it may stand for.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "disk/posix/block_devices.h"

namespace tvde {

struct AttachedLoop {
  std::string name;  // "loop3"
  std::filesystem::path dir;
  std::optional<NodeFacts> backing;  // nothing when it cannot be told
  // Every identity the backing file may have: its own and, through an overlay, those of the
  // layer files it may stand for.
  std::vector<FileIdentity> files;
  // Through an overlay whose layers cannot be looked at: its inode counts on any file system.
  bool anyFileSystem = false;
};

// In the order of names. The device the system says was opened is taken as its handle says.
std::vector<AttachedLoop> ReadAttachedLoops(const BlockSystem& system);

bool IsBackedBy(const AttachedLoop& loop, const FileIdentity& file);
bool ShareAFile(const AttachedLoop& a, const AttachedLoop& b);

}  // namespace tvde
