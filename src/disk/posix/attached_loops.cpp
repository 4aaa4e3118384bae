// Attached loop devices and the identities of their backing files, resolved through overlays.
#include "disk/posix/attached_loops.h"

#include <algorithm>
#include <system_error>

#include "disk/posix/sysfs_tree.h"

namespace tvde {
namespace {

namespace fs = std::filesystem;

// A file opened through an overlay (its device number is the overlay's) may be the file of any
// layer at the same place, and keeps the inode number of its origin there.
void AddLayerFiles(const BlockSystem& system, const std::string& path, AttachedLoop& loop) {
  const FileIdentity seen = loop.backing->file;
  for (const MountEntry& mount : system.mounts) {
    const std::vector<std::string> layers = OverlayLayers(mount);
    if (mount.device != seen.fileSystem || layers.empty()) continue;
    const std::string& point = mount.mountPoint;
    const bool inside = point == "/" || (path.starts_with(point) && path.size() > point.size() &&
                                         path[point.size()] == '/');
    const std::string below = inside ? path.substr(point == "/" ? 0 : point.size()) : "";
    for (const std::string& layer : layers) {
      const auto folder = layer.starts_with('/') && system.lookUp ? system.lookUp(layer)
                                                                  : std::optional<NodeFacts>();
      if (!folder) {
        loop.anyFileSystem = true;
        continue;
      }
      loop.files.push_back({folder->file.fileSystem, seen.fileNumber});
      const std::string root = mount.root == "/" ? "" : mount.root;
      if (const auto file = inside ? system.lookUp(layer + root + below) : std::nullopt) {
        loop.files.push_back(file->file);
      }
    }
    if (!inside) loop.anyFileSystem = true;
  }
}

}  // namespace

std::vector<AttachedLoop> ReadAttachedLoops(const BlockSystem& system) {
  std::vector<AttachedLoop> loops;
  for (const fs::path& entry : Entries(system.sysfs / "block")) {
    std::error_code error;
    const fs::path dir = fs::canonical(entry, error);
    if (error || !IsAttachedLoop(dir)) continue;
    AttachedLoop loop;
    loop.name = Name(dir);
    loop.dir = dir;
    const auto number = NumberOf(dir);
    if (system.opened && number == system.opened->device) {
      loop.backing = system.opened->loopBinding;
    } else if (system.loopBacking) {
      loop.backing = system.loopBacking(loop.name);
    }
    if (loop.backing) {
      loop.files.push_back(loop.backing->file);
      std::string path = RawAttribute(dir / "loop" / "backing_file");
      if (path.ends_with('\n')) path.pop_back();  // only the line end sysfs adds
      AddLayerFiles(system, path, loop);
    }
    loops.push_back(std::move(loop));
  }
  std::sort(loops.begin(), loops.end(),
            [](const AttachedLoop& a, const AttachedLoop& b) { return a.name < b.name; });
  return loops;
}

bool IsBackedBy(const AttachedLoop& loop, const FileIdentity& file) {
  if (std::find(loop.files.begin(), loop.files.end(), file) != loop.files.end()) return true;
  return loop.anyFileSystem && loop.backing && loop.backing->file.fileNumber == file.fileNumber;
}

bool ShareAFile(const AttachedLoop& a, const AttachedLoop& b) {
  const auto any = [](const AttachedLoop& loop, const std::vector<FileIdentity>& files) {
    return std::any_of(files.begin(), files.end(),
                       [&loop](const FileIdentity& file) { return IsBackedBy(loop, file); });
  };
  return any(a, b.files) || any(b, a.files);
}

}  // namespace tvde
