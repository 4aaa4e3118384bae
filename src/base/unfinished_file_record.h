#pragma once
// The record behind UnfinishedFiles, shared by the OS layers: fixed buffers of native paths
// (char on POSIX, wchar_t on Windows) published by one atomic count, so that a signal or
// console-control handler reads them with no lock and no allocation.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <string>

namespace tvde {

template <typename Char>
class UnfinishedFileRecord {
 public:
  // Replaces the record with `paths`; one too long for a buffer, or beyond the last, is not kept.
  template <typename Paths>
  void Keep(const Paths& paths) {
    count_.store(0);
    size_t count = 0;
    for (const std::basic_string<Char>& path : paths) {
      if (count == kMaxFiles || path.empty() || path.size() >= kMaxChars) continue;
      std::copy(path.begin(), path.end(), paths_[count].begin());
      paths_[count][path.size()] = Char{0};
      ++count;
    }
    count_.store(count);  // published only once every path is complete
  }

  void Clear() { count_.store(0); }

  // Marks the program as ending, then hands every kept path to `remove`.
  template <typename Remove>
  void RemoveEach(Remove remove) {
    stopping_.store(true);
    const size_t count = count_.load();
    for (size_t i = 0; i < count; ++i)
      remove(paths_[i].data());
  }

  bool Stopping() const { return stopping_.load(); }

 private:
  static constexpr size_t kMaxFiles = 16;
  static constexpr size_t kMaxChars = 4096;

  std::array<std::array<Char, kMaxChars>, kMaxFiles> paths_{};
  std::atomic<size_t> count_{0};
  std::atomic<bool> stopping_{false};
};

}  // namespace tvde
