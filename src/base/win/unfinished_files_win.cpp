// The record of unfinished files as fixed buffers of long-form paths, so that a console-control
// handler can delete them with DeleteFileW alone.
#include <windows.h>

#include <array>
#include <atomic>

#include "base/file_system.h"
#include "base/unfinished_files.h"

namespace tvde {
namespace {

constexpr size_t kMaxFiles = 16;
constexpr size_t kMaxPathChars = 4096;

std::array<std::array<wchar_t, kMaxPathChars>, kMaxFiles> g_paths{};
std::atomic<size_t> g_count{0};
std::atomic<bool> g_stopping{false};

}  // namespace

UnfinishedFiles::UnfinishedFiles(const std::vector<std::wstring>& paths) {
  g_count.store(0);
  size_t count = 0;
  for (const std::wstring& path : paths) {
    const std::wstring native = OsFilePath(path);
    if (count == kMaxFiles || native.empty() || native.size() >= kMaxPathChars) continue;
    std::copy(native.begin(), native.end(), g_paths[count].begin());
    g_paths[count][native.size()] = L'\0';
    ++count;
  }
  g_count.store(count);  // published only once every path is complete
}

UnfinishedFiles::~UnfinishedFiles() {
  g_count.store(0);
}

void RemoveUnfinishedFiles() {
  g_stopping.store(true);
  const size_t count = g_count.load();
  for (size_t i = 0; i < count; ++i)
    DeleteFileW(g_paths[i].data());
}

bool HardStopBegun() {
  return g_stopping.load();
}

}  // namespace tvde
