// Temporary directories for tests.
#include "support/temp_dir.h"

#include <atomic>
#include <random>

#include "base/text.h"

namespace tvde::testing {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  std::random_device seed;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate =
        base / ("tvde-test-" + std::to_string(seed()) + "-" + std::to_string(counter.fetch_add(1)));
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::wstring TempDir::File(const std::string& name) const {
  const auto full = path_ / name;
#ifdef _WIN32
  return full.native();
#else
  return Utf8ToWide(full.native());
#endif
}

}  // namespace tvde::testing
