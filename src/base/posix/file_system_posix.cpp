// POSIX folders through std::filesystem with UTF-8 paths.
#include <filesystem>
#include <system_error>

#include "base/file_system.h"
#include "base/text.h"

namespace tvde {

bool CreateFolderTree(const std::wstring& folder) {
  const std::filesystem::path path(WideToUtf8(folder));
  if (path.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(path, error);
  return IsExistingFolder(folder);
}

bool IsExistingFolder(const std::wstring& path) {
  const std::string narrow = WideToUtf8(path);
  std::error_code error;
  return !narrow.empty() && std::filesystem::is_directory(std::filesystem::path(narrow), error);
}

bool PathExists(const std::wstring& path) {
  const std::string narrow = WideToUtf8(path);
  std::error_code error;
  return !narrow.empty() && std::filesystem::exists(std::filesystem::path(narrow), error);
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
  std::error_code error;
  return std::filesystem::copy_file(std::filesystem::path(WideToUtf8(from)),
                                    std::filesystem::path(WideToUtf8(to)),
                                    std::filesystem::copy_options::overwrite_existing, error);
}

}  // namespace tvde
