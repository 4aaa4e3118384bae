// Unfinished files on Windows: long-form paths, deleted from a console-control handler with
// DeleteFileW alone.
#include <windows.h>

#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/unfinished_file_record.h"
#include "base/unfinished_files.h"

namespace tvde {
namespace {

UnfinishedFileRecord<wchar_t> g_record;

}  // namespace

UnfinishedFiles::UnfinishedFiles(const std::vector<std::wstring>& paths) {
  std::vector<std::wstring> native;
  for (const std::wstring& path : paths)
    native.push_back(OsFilePath(path));
  g_record.Keep(native);
}

UnfinishedFiles::~UnfinishedFiles() {
  g_record.Clear();
}

void RemoveUnfinishedFiles() {
  g_record.RemoveEach([](const wchar_t* path) { DeleteFileW(path); });
}

bool HardStopBegun() {
  return g_record.Stopping();
}

}  // namespace tvde
