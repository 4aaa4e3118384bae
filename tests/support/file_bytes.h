#pragma once
// Whole files as bytes, and byte-range checks, for tests that look at images and reports.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tvde::testing {

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// A file of `size` bytes of `fill`; returns its content.
std::vector<uint8_t> WriteFilledFile(const std::filesystem::path& path, size_t size, uint8_t fill);

// Bytes of golden/<name>, which the build copies next to the test's working directory.
std::string ReadGolden(const std::string& name);

// Whether bytes [begin, end) all hold `value`.
bool AllEqual(std::span<const uint8_t> bytes, size_t begin, size_t end, uint8_t value);
inline bool AllZero(std::span<const uint8_t> bytes, size_t begin, size_t end) {
  return AllEqual(bytes, begin, end, 0);
}

}  // namespace tvde::testing
