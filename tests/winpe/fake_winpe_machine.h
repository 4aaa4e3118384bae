#pragma once
// A machine for the media builder made of files in a temporary folder with blanks in its path:
// an ADK tree, the running program with DLLs, host fonts, and the fake tools first on PATH. The
// builder's commands run through the real RunShellCommand and cmd.exe; the machine records each
// command ("[silent] " when no log went with it), log line and opened folder as UTF-8.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/host_environment.h"
#include "base/text.h"
#include "support/temp_dir.h"
#include "winpe/winpe_build.h"

namespace tvde::testing {

namespace fs = std::filesystem;

enum class FakeAdk { kNone, kX64, kX64AndX86 };

// "path|content" a line; the content "*" copies the fake tool.
inline constexpr const wchar_t* kMachineFiles =
    LR"({root}\Program Dir\TorevalDiskEraser.exe|x64 program
{root}\Program Dir\vcruntime140.dll|beside
{root}\system32\vcruntime140.dll|system
{root}\system32\msvcp140.dll|system
{root}\system32\ucrtbase.dll|system
{root}\SysWOW64\concrt140.dll|wow64
{root}\SysWOW64\ucrtbase.dll|wow64
{root}\Fonts\msgothic.ttc|font 1
{root}\Fonts\YuGothM.ttc|font 2
{root}\Fonts\YuGothB.ttc|font 3
{root}\Fonts\meiryo.ttc|font 4
{temp}\.keep|
{root}\out put\.keep|)";
inline constexpr const wchar_t* kAdkFiles =
    LR"({adk}\Deployment Tools\DandISetEnv.bat|@set "PATH=%~dp0..\Windows Preinstallation Environment;%PATH%"
{adk}\Deployment Tools\amd64\Oscdimg\oscdimg.exe|*
{adk}\Deployment Tools\amd64\Oscdimg\etfsboot.com|etfsboot.com
{adk}\Deployment Tools\amd64\Oscdimg\efisys.bin|efisys.bin
{adk}\Deployment Tools\amd64\Oscdimg\efisys_noprompt.bin|efisys_noprompt.bin
{adk}\Deployment Tools\amd64\Oscdimg\efisys_EX.bin|efisys_EX.bin
{adk}\Deployment Tools\amd64\BCDBoot\bootsect.exe|*
{pe}\copype.cmd|
{pe}\amd64\Media\bootmgr|amd64 bootmgr
{pe}\amd64\Media\EFI\Boot\bootx64.efi|efi
{pe}\amd64\WinPE_OCs\WinPE-FontSupport-JA-JP.cab|
{pe}\amd64\WinPE_OCs\ja-jp\lp.cab|)";

class FakeWinPEMachine {
 public:
  explicit FakeWinPEMachine(FakeAdk adk = FakeAdk::kX64) {
    for (const wchar_t* tool : {L"curl", L"dism", L"msiexec", L"reg", L"winget", L"xcopy"})
      Write(L"{root}\\bin\\" + std::wstring(tool) + L".exe|*");
    WriteAll(kMachineFiles);
    if (adk != FakeAdk::kNone) {
      WriteAll(kAdkFiles);
      Write(
          L"{pe}\\MakeWinPEMedia.cmd|@\"%TVDE_FAKE_TOOL%\" as MakeWinPEMedia.cmd %*\r\n@exit /b %ERRORLEVEL%");
      // Mounting brings a software hive and an old startnet.cmd longer than the new one.
      Write(
          L"{pe}\\amd64\\en-us\\winpe.wim|Windows\\System32\\config\\SOFTWARE\r\nWindows\\System32\\startnet.cmd\r\n");
    }
    if (adk == FakeAdk::kX64AndX86)
      Write(L"{pe}\\x86\\en-us\\winpe.wim|Windows\\System32\\startnet.cmd\r\n");
    // The environment of this process reaches cmd.exe and the tools.
    wchar_t path[32768] = {};
    GetEnvironmentVariableW(L"PATH", path, 32768);
    savedPath_ = path;
    SetEnvironmentVariableW(L"PATH", (X(L"{root}\\bin;") + savedPath_).c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_CALLS", X(L"{root}\\calls.txt").c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_ADK", X(L"{adk}").c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_TOOL", fakeTool.c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_FAIL", nullptr);
    host = {{X(L"{adk}"), X(L"{root}\\Other Kit")},
            X(L"{temp}\\"),
            X(L"{root}\\Program Dir\\TorevalDiskEraser.exe"),
            X(L"{root}\\system32"),
            X(L"{root}\\SysWOW64"),
            X(L"{root}\\Fonts\\"),
            [this](const std::wstring& command, LogCallback sink) {
              commands.push_back(WideToUtf8(sink ? command : L"[silent] " + command));
              return RunShellCommand(command, std::move(sink));
            },
            [this](const std::wstring& folder) { opened.push_back(WideToUtf8(folder)); },
            [](const std::wstring&) { return true; },
            [](const std::wstring& drive) { return drive == L"F:"; }};
  }
  ~FakeWinPEMachine() { SetEnvironmentVariableW(L"PATH", savedPath_.c_str()); }

  // Tools whose "name arguments" contain `pattern` fail from now on.
  void FailToolsMatching(const std::wstring& pattern) {
    failing_ += pattern + L"|";
    SetEnvironmentVariableW(L"TVDE_FAKE_FAIL", failing_.c_str());
  }

  // Replaces {root}, {adk}, {pe} (the ADK's WinPE folder), {temp} (without the final
  // backslash), {dl} (the default download folder), {work}, {mount} and {iso}.
  std::wstring X(std::wstring text) const {
    const std::wstring root = dir_.path().wstring() + L"\\machine with blanks";
    const std::wstring adk = root + L"\\Windows Kits\\10\\Assessment and Deployment Kit";
    const std::pair<const wchar_t*, std::wstring> names[] = {
        {L"{pe}", adk + L"\\Windows Preinstallation Environment"},
        {L"{dl}", root + L"\\Temp Folder\\Toreval_ADK_Downloads"},
        {L"{temp}", root + L"\\Temp Folder"},
        {L"{mount}", root + L"\\work dir (x64)\\mount"},
        {L"{work}", root + L"\\work dir (x64)"},
        {L"{iso}", root + L"\\out put\\Toreval WinPE.iso"},
        {L"{adk}", adk},
        {L"{root}", root}};
    for (const auto& [name, value] : names) {
      for (size_t at; (at = text.find(name)) != std::wstring::npos;)
        text.replace(at, wcslen(name), value);
    }
    return text;
  }
  // Each line of `lines` with the names replaced; empty lines are skipped.
  std::vector<std::string> Lines(const std::wstring& lines) const {
    std::vector<std::string> out;
    std::wistringstream text(lines);
    for (std::wstring line; std::getline(text, line);)
      if (!line.empty()) out.push_back(WideToUtf8(X(line)));
    return out;
  }

  void WriteAll(const std::wstring& entries) const {
    std::wistringstream text(entries);
    for (std::wstring entry; std::getline(text, entry);)
      Write(entry);
  }
  // Writes "path|content" (the content "*" copies the fake tool).
  void Write(const std::wstring& entry) const {
    const fs::path path = X(entry.substr(0, entry.find(L'|')));
    const std::wstring content = entry.substr(entry.find(L'|') + 1);
    fs::create_directories(path.parent_path());
    if (content == L"*")
      fs::copy_file(fakeTool, path, fs::copy_options::overwrite_existing);
    else
      std::ofstream(path, std::ios::binary | std::ios::trunc) << WideToUtf8(content);
  }
  std::string Read(const std::wstring& path) const {
    std::ostringstream content;
    content << std::ifstream(fs::path(X(path)), std::ios::binary).rdbuf();
    return content.str();
  }
  bool Exists(const std::wstring& path) const { return fs::exists(X(path)); }
  void Remove(const std::wstring& path) const { fs::remove(X(path)); }

  std::vector<std::string> ToolCalls() const {  // "name arguments" as each tool saw them
    std::vector<std::string> calls;
    std::istringstream text(Read(L"{root}\\calls.txt"));
    for (std::string line; std::getline(text, line);)
      calls.push_back(line);
    return calls;
  }
  LogCallback Log() {
    return [this](const std::wstring& line) { log.push_back(WideToUtf8(line)); };
  }
  // A request for {work} and {iso}, USB target F:, certificates on D:.
  WinPEBuildRequest Request(int32_t mode, int32_t uefiOnly = 0) const {
    return {mode,         0,          uefiOnly, L"F: [USB Drive - 14.91 GB]", X(L"{iso}"),
            X(L"{work}"), L"D:\\Logs"};
  }
  int32_t Build(const WinPEBuildRequest& request) { return BuildWinPEMedia(request, Log(), host); }

  WinPEHost host;
  std::vector<std::string> commands, log, opened;
  const std::wstring fakeTool = ProgramDirectory() + L"\\tvde_fake_tool.exe";

 private:
  TempDir dir_;
  std::wstring savedPath_, failing_;
};

}  // namespace tvde::testing
