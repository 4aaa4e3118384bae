// Mount table and swap list parsing, and the layers of overlay mounts.
#include "disk/mount_table.h"

#include <algorithm>
#include <charconv>

namespace tvde {
namespace {

// Fields are separated by blanks and tabs; the kernel writes those inside names as escapes.
std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start < line.size()) {
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
      ++start;
    if (start >= line.size()) break;
    size_t end = line.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(start, end - start));
    start = end;
  }
  return fields;
}

bool IsOctal(char c) {
  return c >= '0' && c <= '7';
}

// The kernel writes space, tab, newline and backslash in paths as \ooo.
std::string DecodeField(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      out.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                      (field[i + 3] - '0')));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

}  // namespace

std::optional<DeviceNumber> ParseDeviceNumber(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.remove_suffix(1);
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon + 1 >= text.size()) {
    return std::nullopt;
  }
  DeviceNumber number;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  auto major = std::from_chars(first, first + colon, number.major);
  if (major.ec != std::errc() || major.ptr != first + colon) return std::nullopt;
  auto minor = std::from_chars(first + colon + 1, last, number.minor);
  if (minor.ec != std::errc() || minor.ptr != last) return std::nullopt;
  return number;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const auto fields = SplitFields(text.substr(start, end - start));
    start = end + 1;

    // Up to six fixed fields, optional fields, then "-", fstype and source.
    const auto separator = std::find(fields.begin() + std::min<size_t>(fields.size(), 6),
                                     fields.end(), std::string_view("-"));
    if (fields.size() < 6 || separator == fields.end() || fields.end() - separator < 3) continue;
    const auto device = ParseDeviceNumber(fields[2]);
    if (!device) continue;
    const std::string options = separator + 3 < fields.end() ? std::string(*(separator + 3)) : "";
    mounts.push_back({*device, DecodeField(fields[4]), DecodeField(*(separator + 2)),
                      DecodeField(fields[3]), DecodeField(*(separator + 1)), options});
  }
  return mounts;
}

std::vector<std::string> ParseSwapAreas(std::string_view text) {
  std::vector<std::string> areas;
  size_t start = text.find('\n');  // the header line
  while (start != std::string_view::npos && start + 1 < text.size()) {
    size_t end = text.find('\n', start + 1);
    const auto fields = SplitFields(text.substr(
        start + 1, end == std::string_view::npos ? std::string_view::npos : end - start - 1));
    if (!fields.empty()) areas.push_back(DecodeField(fields[0]));
    start = end;
  }
  return areas;
}

std::vector<std::string> OverlayLayers(const MountEntry& mount) {
  if (mount.type != "overlay") return {};
  std::vector<std::string> upper, lower;
  // Options are split on the commas the kernel left; commas inside names are escapes.
  for (size_t start = 0; start <= mount.options.size();) {
    size_t end = mount.options.find(',', start);
    if (end == std::string::npos) end = mount.options.size();
    const std::string option =
        DecodeField(std::string_view(mount.options).substr(start, end - start));
    start = end + 1;
    const size_t equals = option.find('=');
    const std::string key = option.substr(0, equals);
    if (equals == std::string::npos) continue;
    if (key == "upperdir") upper.push_back(option.substr(equals + 1));
    if (key != "lowerdir" && key != "lowerdir+" && key != "datadir+") continue;
    // Lower layers are separated by ':'; a ':' inside a name is written "\:".
    std::string layer;
    for (size_t i = equals + 1; i <= option.size(); ++i) {
      if (i == option.size() || option[i] == ':') {
        if (!layer.empty()) lower.push_back(layer);
        layer.clear();
      } else if (option[i] == '\\' && i + 1 < option.size()) {
        layer.push_back(option[++i]);
      } else {
        layer.push_back(option[i]);
      }
    }
  }
  upper.insert(upper.end(), lower.begin(), lower.end());
  return upper;
}

}  // namespace tvde
