// Report file writer on Windows: a temporary file beside the report (shared for deletion), every
// byte written and flushed to the disk, then moved over the report with write-through.
#include <windows.h>

#include <limits>

#include "base/file_system.h"
#include "base/unfinished_files.h"
#include "base/win/win_handle.h"
#include "report/utf8_file.h"

namespace tvde {

bool WriteUtf8File(const std::wstring& path, std::wstring_view text) {
  std::string bytes;
  if (!EncodeUtf8FileContent(text, bytes)) return false;
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
  // Paths past MAX_PATH (a deep folder on a USB stick) work only in the long form.
  const std::wstring target = OsFilePath(path);
  const std::wstring temporary = OsFilePath(path + L".tmp");
  // Shared for deletion only: a hard stop can delete it while it is still open.
  WinHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  bool ok = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                      nullptr) != 0 &&
            written == bytes.size();
  // WinPE machines are often switched off right after the job: the data must be on the disk.
  ok = FlushFileBuffers(file.get()) != 0 && ok;
  file.Reset();
  // Once the set is being removed nothing goes in place; a removal that begins meanwhile
  // waits for the move and takes this file too.
  if (ok && BeginPlacingFile()) {
    ok = MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    EndPlacingFile();
  } else {
    ok = false;
  }
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

}  // namespace tvde
