#pragma once
// A fresh directory under the system temporary folder, removed with everything in it.

#include <filesystem>
#include <string>

namespace tvde::testing {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  // Full path of a file inside the directory, as the wide string the OS layer takes.
  std::wstring File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace tvde::testing
