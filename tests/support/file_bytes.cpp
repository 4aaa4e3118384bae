// Whole-file reads and writes, golden files and byte-range checks for tests.
#include "support/file_bytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace tvde::testing {

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteWholeFile(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> WriteFilledFile(const std::filesystem::path& path, size_t size, uint8_t fill) {
  std::vector<uint8_t> bytes(size, fill);
  WriteWholeFile(path, bytes);
  return bytes;
}

std::string ReadGolden(const std::string& name) {
  std::ifstream in("golden/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool AllEqual(std::span<const uint8_t> bytes, size_t begin, size_t end, uint8_t value) {
  return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                     bytes.begin() + static_cast<std::ptrdiff_t>(end),
                     [value](uint8_t b) { return b == value; });
}

}  // namespace tvde::testing
