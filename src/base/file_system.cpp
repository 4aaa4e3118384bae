// The portable rule of the Windows long path form, and reading small regular files (settings,
// payloads) through the device layer's checked open.
#include "base/file_system.h"

#include <algorithm>
#include <array>
#include <vector>

#include "base/device.h"
#include "base/random.h"
#include "base/system_error.h"
#include "base/text.h"

namespace tvde {

std::wstring FreshWriteTestFileName() {
  std::array<uint8_t, 8> bytes{};
  if (!FillRandom(bytes)) return {};
  std::wstring name = L"_tvde_write_test_";
  for (const uint8_t byte : bytes)
    name += FormatPrintfW("%02x", byte);
  return name + L".tmp";
}

std::wstring ExtendedLengthPath(std::wstring_view absolutePath) {
  std::wstring path(absolutePath);
  if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  const bool drivePath =
      path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  if (drivePath) return L"\\\\?\\" + path;
  return std::wstring(absolutePath);
}

FileReadResult ReadRegularFile(const std::wstring& path, size_t maxBytes, std::string& content) {
  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadOnly;
  options.buffering = DeviceBuffering::Buffered;
  const DeviceOpenResult opened = OpenDevice(path, options);
  if (opened.device == nullptr) {
    if (opened.object.kind != DeviceKind::Missing) return FileReadResult::NotARegularFile;
    uint32_t error = 0;
    const DeviceObject found = InspectDevicePath(path, DeviceLinks::Follow, error);
    if (found.kind == DeviceKind::Missing) {
      return IsNotFoundError(error) ? FileReadResult::Missing : FileReadResult::Failed;
    }
    return found.kind == DeviceKind::RegularFile ? FileReadResult::Failed
                                                 : FileReadResult::NotARegularFile;
  }
  if (opened.object.kind != DeviceKind::RegularFile) return FileReadResult::NotARegularFile;

  // One byte more than allowed tells a file that is too large from one that fits exactly. The
  // buffer grows with what is read: a generous limit costs nothing for a small file.
  const size_t limit = maxBytes + 1;
  std::vector<uint8_t> buffer;
  size_t total = 0;
  while (total < limit) {
    if (total == buffer.size()) {
      buffer.resize(std::min(limit, std::max(buffer.size() * 2, size_t{64} * 1024)));
    }
    const IoResult read = opened.device->Read(std::span<uint8_t>(buffer).subspan(total));
    if (!read.ok) return FileReadResult::Failed;
    if (read.bytes == 0) break;
    total += read.bytes;
  }
  if (total > maxBytes) return FileReadResult::TooLarge;
  content.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(total));
  return FileReadResult::Read;
}

}  // namespace tvde
