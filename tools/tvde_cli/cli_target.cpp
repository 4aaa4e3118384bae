// Portable part of target handling: image files through the standard file system library.
#include "cli_target.h"

#include <fstream>
#include <system_error>

#include "base/text.h"

namespace tvde::cli {

std::filesystem::path FsPath(const std::string& utf8) {
#ifdef _WIN32
  return std::filesystem::path(Utf8ToWide(utf8));
#else
  return std::filesystem::path(utf8);
#endif
}

bool EnsureImageFile(const std::string& path, uint64_t minimumLength, std::string& error) {
  const std::filesystem::path fsPath = FsPath(path);
  std::error_code ec;
  if (!std::filesystem::exists(fsPath, ec)) {
    std::ofstream create(fsPath, std::ios::binary | std::ios::app);
    if (!create) {
      error = "cannot create '" + path + "'";
      return false;
    }
  }
  const uintmax_t size = std::filesystem::file_size(fsPath, ec);
  if (ec) {
    error = "cannot read the size of '" + path + "': " + ec.message();
    return false;
  }
  if (size < minimumLength) {
    std::filesystem::resize_file(fsPath, minimumLength, ec);
    if (ec) {
      error = "cannot extend '" + path + "': " + ec.message();
      return false;
    }
  }
  return true;
}

}  // namespace tvde::cli
