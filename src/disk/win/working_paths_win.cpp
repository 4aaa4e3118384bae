// The program, temporary and certificate folders of a Windows job, mapped to their disks.
#include <windows.h>

#include "base/host_environment.h"
#include "disk/disk_enumeration.h"
#include "disk/working_paths.h"

namespace tvde {
namespace {

std::wstring TemporaryFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return {};
  return std::wstring(buffer, length);
}

std::wstring CurrentFolder() {
  const DWORD chars = GetCurrentDirectoryW(0, nullptr);
  if (chars == 0) return {};
  std::wstring buffer(chars, L'\0');
  const DWORD length = GetCurrentDirectoryW(chars, buffer.data());
  if (length == 0 || length >= chars) return {};
  buffer.resize(length);
  return buffer;
}

}  // namespace

std::wstring SpecialFileSystemOf(const std::wstring& folder) {
  // A device or volume in any namespace, however it is spelt, is never a folder.
  return IsRawDevicePath(folder) ? L"in the device namespace" : L"";
}

std::vector<std::wstring> WorkingPathsOnDisk(const DiskInfo& disk,
                                             const std::wstring& certificateFolder) {
  if (IsRunningUnderWine() || !IsRawDevicePath(disk.devicePath)) return {};
  std::vector<std::wstring> paths;
  const std::wstring program = ProgramModulePath();
  if (!program.empty()) paths.push_back(program);
  const std::wstring temporary = TemporaryFolder();
  if (!temporary.empty()) paths.push_back(temporary);
  // The current folder is held open by the process: its volume cannot be locked either.
  const std::wstring current = CurrentFolder();
  if (!current.empty()) paths.push_back(current);
  if (!certificateFolder.empty()) paths.push_back(certificateFolder);
  const std::unique_ptr<DiskSystemQueries> system = MakeWin32DiskQueries();
  return PathsOnDiskWith(*system, disk.diskNumber, paths);
}

}  // namespace tvde
