// Unfinished files on POSIX: UTF-8 paths, deleted from a signal handler with unlink alone.
#include <unistd.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "base/unfinished_file_record.h"
#include "base/unfinished_files.h"

namespace tvde {
namespace {

UnfinishedFileRecord<char> g_record;

}  // namespace

UnfinishedFiles::UnfinishedFiles(const std::vector<std::wstring>& paths) {
  std::vector<std::string> native;
  for (const std::wstring& path : paths)
    native.push_back(WideToUtf8(path));
  g_record.Keep(native);
}

UnfinishedFiles::~UnfinishedFiles() {
  g_record.Clear();
}

void RemoveUnfinishedFiles() {
  g_record.RemoveEach([](const char* path) { unlink(path); });
}

bool HardStopBegun() {
  return g_record.Stopping();
}

}  // namespace tvde
