// Windows folders: SHCreateDirectoryExW for the whole tree, then CreateDirectoryW once more;
// past MAX_PATH the long path form, level by level. Small files through CreateFileW.
#include <windows.h>

#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "base/file_system.h"
#include "base/system_error.h"
#include "base/text.h"
#include "base/win/win_handle.h"

namespace tvde {
namespace {

// CreateDirectoryW takes at most MAX_PATH - 12 characters in the short form (room for an 8.3
// name inside); files take MAX_PATH - 1.
constexpr size_t kShortFormLimit = MAX_PATH - 12;

std::string LastErrorText() {
  return WideToUtf8(DescribeSystemError(LastSystemError()));
}

// A DACL that lets only the current user in, and that does not inherit the folder's entries.
class OwnerOnlySecurity {
 public:
  OwnerOnlySecurity() {
    WinHandle token;
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return;
    token = WinHandle(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::string buffer(size, '\0');
    wchar_t* sid = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
      return;
    }
    const std::wstring sddl = std::wstring(L"D:P(A;;FA;;;") + sid + L")";
    LocalFree(sid);
    ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                         &descriptor_, nullptr);
  }
  OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
  OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;
  ~OwnerOnlySecurity() {
    if (descriptor_ != nullptr) LocalFree(descriptor_);
  }

  // Null when the descriptor could not be built.
  SECURITY_ATTRIBUTES* attributes() {
    if (descriptor_ == nullptr) return nullptr;
    attributes_ = {sizeof attributes_, descriptor_, FALSE};
    return &attributes_;
  }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace

std::wstring OsFilePath(const std::wstring& path) {
  if (path.size() < kShortFormLimit) return path;
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  return ExtendedLengthPath(full);
}

bool CreateFolderTree(const std::wstring& named, FileAccess access) {
  // "keys\" names the folder keys: made as its own parent, it would escape the owner-only
  // access list. A root ("C:\", "\") keeps its separator.
  std::wstring folder = named;
  while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/') &&
         folder[folder.size() - 2] != L':') {
    folder.pop_back();
  }
  const std::wstring path = OsFilePath(folder);
  // The results are ignored: an existing folder is the normal case; the answer is whether the
  // folder is there now.
  if (access == FileAccess::OwnerOnly) {
    const size_t parent = folder.find_last_of(L"\\/");
    if (parent != std::wstring::npos && parent > 0) CreateFolderTree(folder.substr(0, parent));
    OwnerOnlySecurity ownerOnly;
    if (ownerOnly.attributes() == nullptr) return false;
    CreateDirectoryW(path.c_str(), ownerOnly.attributes());
  }
  if (path == folder) {
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
  } else {
    // The shell function gives up past MAX_PATH: every level in the long form, the root and
    // the server parts failing harmlessly.
    for (size_t at = path.find(L'\\', 4); at != std::wstring::npos; at = path.find(L'\\', at + 1)) {
      CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(path.c_str(), nullptr);
  }
  return IsExistingFolder(folder);
}

bool IsExistingFolder(const std::wstring& folder) {
  const std::wstring path = OsFilePath(folder);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(OsFilePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CanWriteInFolder(const std::wstring& folder) {
  const std::wstring name = FreshWriteTestFileName();
  if (folder.empty() || name.empty()) return false;
  const std::wstring path = OsFilePath(JoinPath(folder, name));
  WinHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_TEMPORARY, nullptr));
  if (!file.valid()) return false;
  const std::vector<char> probe(kWriteTestFileBytes, 0);
  DWORD written = 0;
  bool ok = WriteFile(file.get(), probe.data(), static_cast<DWORD>(probe.size()), &written,
                      nullptr) != 0 &&
            written == probe.size();
  ok = FlushFileBuffers(file.get()) != 0 && ok;
  file.Reset();
  ok = DeleteFileW(path.c_str()) != 0 && ok;
  return ok;
}

bool CopyFileReplacing(const std::wstring& from, const std::wstring& to) {
  return CopyFileW(from.c_str(), to.c_str(), FALSE) != 0;
}

bool WriteNewFile(const std::wstring& path, std::string_view bytes, FileAccess access,
                  std::string& error) {
  if (bytes.size() > std::numeric_limits<DWORD>::max()) {
    error = "too large";
    return false;
  }
  OwnerOnlySecurity ownerOnly;
  SECURITY_ATTRIBUTES* security = nullptr;
  if (access == FileAccess::OwnerOnly) {
    security = ownerOnly.attributes();
    if (security == nullptr) {
      error = "no owner-only access list could be made: " + LastErrorText();
      return false;
    }
  }
  WinHandle file(CreateFileW(OsFilePath(path).c_str(), GENERIC_WRITE, 0, security, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    error = LastErrorText();
    return false;
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size() && FlushFileBuffers(file.get());
  if (!ok) error = LastErrorText();
  file.Reset();
  if (!ok) DeleteFileW(OsFilePath(path).c_str());
  return ok;
}

bool RemoveFile(const std::wstring& path) {
  return DeleteFileW(OsFilePath(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace tvde
