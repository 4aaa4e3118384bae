// Unfinished files on Windows: long-form paths, deleted from a console-control handler with
// DeleteFileW alone.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "base/unfinished_file_record.h"
#include "base/unfinished_files.h"

namespace tvde {
namespace {

UnfinishedFileRecord<wchar_t> g_record;
constexpr int32_t kMaxPauses = 500;  // of 10 ms: five seconds

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
  g_record.RemoveEach([](const wchar_t* path) { DeleteFileW(path); }, [] { Sleep(10); },
                      kMaxPauses);
}

bool BeginPlacingFile() {
  return g_record.BeginPlacing();
}

void EndPlacingFile() {
  g_record.EndPlacing();
}

}  // namespace tvde
