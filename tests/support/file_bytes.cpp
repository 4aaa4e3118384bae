// Whole-file reads and writes, golden files and byte-range checks for tests.
#include "support/file_bytes.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "base/text.h"

namespace tvde::testing {

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadTextFile(const std::filesystem::path& path) {
  const std::vector<uint8_t> bytes = ReadWholeFile(path);
  return {bytes.begin(), bytes.end()};
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

std::set<std::string> FileNamesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    names.insert(WideToUtf8(entry.path().filename().wstring()));
  return names;
}

std::string ReadGolden(const std::string& name) {
  std::ifstream in("golden/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint16_t Le16(std::span<const uint8_t> image, size_t offset) {
  return static_cast<uint16_t>(image[offset] | (image[offset + 1] << 8));
}

uint32_t Le32(std::span<const uint8_t> image, size_t offset) {
  return Le16(image, offset) | (static_cast<uint32_t>(Le16(image, offset + 2)) << 16);
}

std::string Bytes(std::span<const uint8_t> image, size_t offset, size_t count) {
  return std::string(image.begin() + static_cast<ptrdiff_t>(offset),
                     image.begin() + static_cast<ptrdiff_t>(offset + count));
}

std::string CString(std::span<const uint8_t> image, size_t offset) {
  const auto begin = image.begin() + static_cast<ptrdiff_t>(offset);
  return std::string(begin, std::find(begin, image.end(), uint8_t{0}));
}

bool AllEqual(std::span<const uint8_t> bytes, size_t begin, size_t end, uint8_t value) {
  return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(begin),
                     bytes.begin() + static_cast<std::ptrdiff_t>(end),
                     [value](uint8_t b) { return b == value; });
}

}  // namespace tvde::testing
