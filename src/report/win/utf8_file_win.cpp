// Report file writer on Windows: one CreateFileW (no sharing, always create) and one WriteFile.
#include <windows.h>

#include <limits>

#include "base/win/win_handle.h"
#include "report/utf8_file.h"

namespace tvde {

bool WriteUtf8File(const std::wstring& path, std::wstring_view text) {
  std::string bytes;
  if (!EncodeUtf8FileContent(text, bytes)) return false;
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
  WinHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  file.Reset();
  return ok && written == bytes.size();
}

}  // namespace tvde
