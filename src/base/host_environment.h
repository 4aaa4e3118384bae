#pragma once
// What the process knows about its host: whether the Windows build runs under Wine, where the
// running program lives, and whether a path names a raw disk or volume device.

#include <string>
#include <string_view>

namespace tvde {

// True when the Windows build runs under Wine (ntdll exports wine_get_version); always false
// in the native build. Under Wine "\\.\PhysicalDriveN" and "\\.\X:" reach the host's real
// block devices, so callers refuse to query or write such devices there.
bool IsRunningUnderWine();

// The operating system, as a certificate names it, when it is no Windows workstation: "Linux
// <kernel release>" on Linux, "Microsoft <product name>" on a Windows Server; empty on a Windows
// workstation (and in WinPE, which callers name themselves).
std::wstring HostOperatingSystem();

// Full path of the running program file; empty when the system cannot tell.
std::wstring ProgramModulePath();

// The text before the last '\' or '/' of `path`; "." when the path holds neither.
std::wstring DirectoryOfPath(std::wstring_view path);

// DirectoryOfPath(ProgramModulePath()).
std::wstring ProgramDirectory();

// True when `path` names a Windows raw disk or volume rather than a file: "\\.\PhysicalDrive0",
// "\\.\E:", "\\?\Volume{...}", "\\?\GLOBALROOT\Device\Harddisk0\Partition0" and the like,
// in any letter case and with '/' in place of '\'. Paths in these namespaces that continue with
// a drive folder ("\\?\C:\images\disk.img") or a network share ("\\?\UNC\server\share") are
// files. Everything else under the device prefixes counts as a device, so the answer errs on
// the side of refusing a write.
bool IsRawDevicePath(std::wstring_view path);

// True when this process runs under Wine and `path` would reach one of the host's devices: a
// raw disk or volume path, or a drive path that Wine maps into the host's /dev (for example
// "Z:\dev\sda"). Real writes to such paths are refused; image files stay allowed.
bool IsWineHostDevicePath(std::wstring_view path);

// True when `path` names an existing file that is neither a folder nor a device (links are
// followed).
bool IsExistingRegularFile(std::wstring_view path);

// Wine's host-side name of a Windows path ("Z:\tmp\x.img" -> "/tmp/x.img"); empty when not
// under Wine or when the path has none.
std::string WineUnixPathOf(std::wstring_view path);

}  // namespace tvde
