#pragma once
// The record behind UnfinishedFiles, shared by the OS layers: fixed buffers of native paths
// (char on POSIX, wchar_t on Windows) published by one atomic count, so that a signal or
// console-control handler reads them with no lock and no allocation. The atomics are
// sequentially consistent: of a removal and a placing that begin at once, at least one sees the
// other.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
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

  // Brackets putting one file of the set in place. False once the program is ending: nothing
  // may go in place then. A removal that begins in between waits for EndPlacing, so a file
  // put in place is removed with the rest instead of outliving them.
  bool BeginPlacing() {
    placing_.store(true);
    if (!stopping_.load()) return true;
    placing_.store(false);
    return false;
  }
  void EndPlacing() { placing_.store(false); }

  // Marks the program as ending, waits (calling `pause` between looks, `maxPauses` times at
  // most: a placing stuck on a dead network folder must not hold the end for ever) for a file
  // being put in place, then hands every kept path to `remove`.
  template <typename Remove, typename Pause>
  void RemoveEach(Remove remove, Pause pause, int32_t maxPauses) {
    stopping_.store(true);
    for (int32_t i = 0; i < maxPauses && placing_.load(); ++i)
      pause();
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
  std::atomic<bool> placing_{false};
};

}  // namespace tvde
