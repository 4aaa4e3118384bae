// The record of unfinished files as fixed buffers of native paths, so that a signal handler
// can delete them with unlink alone.
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstring>

#include "base/text.h"
#include "base/unfinished_files.h"

namespace tvde {
namespace {

constexpr size_t kMaxFiles = 16;
constexpr size_t kMaxPathBytes = 4096;

std::array<std::array<char, kMaxPathBytes>, kMaxFiles> g_paths{};
std::atomic<size_t> g_count{0};
std::atomic<bool> g_stopping{false};

}  // namespace

UnfinishedFiles::UnfinishedFiles(const std::vector<std::wstring>& paths) {
  g_count.store(0);
  size_t count = 0;
  for (const std::wstring& path : paths) {
    const std::string narrow = WideToUtf8(path);
    if (count == kMaxFiles || narrow.empty() || narrow.size() >= kMaxPathBytes) continue;
    std::memcpy(g_paths[count].data(), narrow.c_str(), narrow.size() + 1);
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
    unlink(g_paths[i].data());
}

bool HardStopBegun() {
  return g_stopping.load();
}

}  // namespace tvde
