#pragma once
// Whole files as bytes, and byte-range readers and checks, for tests that look at images and
// reports.

#include <cstdint>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace tvde::testing {

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);
std::string ReadTextFile(const std::filesystem::path& path);  // the bytes, as they are
void WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);
// A file of `size` bytes of `fill`; returns its content.
std::vector<uint8_t> WriteFilledFile(const std::filesystem::path& path, size_t size, uint8_t fill);

// The names of the entries of a folder, in UTF-8; empty when it does not exist.
std::set<std::string> FileNamesIn(const std::filesystem::path& folder);

// Bytes of golden/<name>, which the build copies next to the test's working directory.
std::string ReadGolden(const std::string& name);

uint16_t Le16(std::span<const uint8_t> image, size_t offset);
uint32_t Le32(std::span<const uint8_t> image, size_t offset);
// Bytes [offset, offset + count) as text, and the zero-terminated text from offset.
std::string Bytes(std::span<const uint8_t> image, size_t offset, size_t count);
std::string CString(std::span<const uint8_t> image, size_t offset);

// Whether bytes [begin, end) all hold `value`.
bool AllEqual(std::span<const uint8_t> bytes, size_t begin, size_t end, uint8_t value);
inline bool AllZero(std::span<const uint8_t> bytes, size_t begin, size_t end) {
  return AllEqual(bytes, begin, end, 0);
}

}  // namespace tvde::testing
