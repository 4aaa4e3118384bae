#pragma once
// Opening a file or folder with the shell's "open" verb, unelevated where the desktop shell runs,
// and the operator's box when a certificate could not be opened.

#include <windows.h>

#include <cstdint>
#include <string>

namespace tvde {

// 0 when the file was opened or handed to the running desktop shell (which then reports its own
// failures); otherwise the Win32 error of ShellExecuteExW. An elevated process hands the verb to
// the desktop shell so that the browser does not run with administrator rights; without a
// desktop shell (WinPE) or when the process is not elevated it opens the file itself.
uint32_t OpenWithShell(HWND owner, const std::wstring& path);

// The text of the box shown when the HTML certificate `path` could not be opened (`error` as
// OpenWithShell answers it).
std::wstring CertificateOpenFailure(const std::wstring& path, uint32_t error);
// The same for the certificate folder `path`.
std::wstring FolderOpenFailure(const std::wstring& path, uint32_t error);

}  // namespace tvde
