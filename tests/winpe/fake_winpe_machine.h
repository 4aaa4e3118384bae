#pragma once
// A machine for the media builder made of files in a temporary folder with blanks in its path:
// an ADK tree, a running program with DLLs, host fonts, and the fake tools first on PATH. The
// builder's commands run through the real RunShellCommand and cmd.exe; the machine records every
// command ("[silent] " when no log went with it), log line and opened folder.
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

class FakeWinPEMachine {
 public:
  explicit FakeWinPEMachine(FakeAdk adkParts = FakeAdk::kX64) {
    const std::wstring bin = X(L"{root}\\bin");
    for (const wchar_t* tool : {L"curl", L"dism", L"msiexec", L"reg", L"winget", L"xcopy"}) {
      CopyFakeTool(bin + L"\\" + tool + L".exe");
    }
    for (const char* file :
         {"Program Dir\\TorevalDiskEraser.exe", "Program Dir\\vcruntime140.dll",
          "system32\\msvcp140.dll", "system32\\vcruntime140.dll", "system32\\ucrtbase.dll",
          "SysWOW64\\concrt140.dll", "SysWOW64\\ucrtbase.dll", "Fonts\\msgothic.ttc",
          "Fonts\\YuGothM.ttc", "Fonts\\YuGothB.ttc", "Fonts\\meiryo.ttc", "out put\\.keep"}) {
      Write(L"{root}\\" + Utf8ToWide(file), file);
    }
    fs::create_directories(X(L"{temp}"));
    if (adkParts != FakeAdk::kNone) {
      Write(L"{adk}\\Deployment Tools\\DandISetEnv.bat",
            "@set \"PATH=%~dp0..\\Windows Preinstallation Environment;%PATH%\"\r\n");
      const std::wstring osc = X(L"{adk}\\Deployment Tools\\amd64\\Oscdimg\\");
      for (const char* file :
           {"etfsboot.com", "efisys.bin", "efisys_noprompt.bin", "efisys_EX.bin"}) {
        Write(osc + Utf8ToWide(file), file);
      }
      Write(L"{pe}\\copype.cmd", "");
      Write(L"{pe}\\MakeWinPEMedia.cmd",
            "@\"%TVDE_FAKE_TOOL%\" as MakeWinPEMedia.cmd %*\r\n@exit /b %ERRORLEVEL%\r\n");
      Write(L"{pe}\\amd64\\Media\\bootmgr", "amd64 bootmgr");
      Write(L"{pe}\\amd64\\Media\\EFI\\Boot\\bootx64.efi", "bootx64");
      // Mounting brings a software hive and an old startnet.cmd longer than the new one.
      Write(L"{pe}\\amd64\\en-us\\winpe.wim",
            "Windows\\System32\\config\\SOFTWARE\r\nWindows\\System32\\startnet.cmd\r\n");
      Write(L"{pe}\\amd64\\WinPE_OCs\\WinPE-FontSupport-JA-JP.cab", "");
      Write(L"{pe}\\amd64\\WinPE_OCs\\ja-jp\\lp.cab", "");
      CopyFakeTool(osc + L"oscdimg.exe");
      CopyFakeTool(X(L"{adk}\\Deployment Tools\\amd64\\BCDBoot\\bootsect.exe"));
    }
    if (adkParts == FakeAdk::kX64AndX86)
      Write(L"{pe}\\x86\\en-us\\winpe.wim", "Windows\\System32\\startnet.cmd\r\n");

    // The environment of this process reaches cmd.exe and the tools.
    wchar_t path[32768] = {};
    GetEnvironmentVariableW(L"PATH", path, 32768);
    savedPath_ = path;
    SetEnvironmentVariableW(L"PATH", (bin + L";" + savedPath_).c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_CALLS", X(L"{root}\\calls.txt").c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_ADK", X(L"{adk}").c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_TOOL", fakeTool_.c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_FAIL", nullptr);

    host.adkRootCandidates = {X(L"{adk}"), X(L"{root}\\Other\\Assessment and Deployment Kit")};
    host.tempFolder = X(L"{temp}\\");
    host.programPath = X(L"{root}\\Program Dir\\TorevalDiskEraser.exe");
    host.systemFolder = X(L"{root}\\system32");
    host.wow64Folder = X(L"{root}\\SysWOW64");
    host.fontsFolder = X(L"{root}\\Fonts\\");
    host.runCommand = [this](const std::wstring& command, LogCallback sink) {
      commands.push_back(WideToUtf8(sink ? command : L"[silent] " + command));
      return RunShellCommand(command, std::move(sink));
    };
    host.openFolder = [this](const std::wstring& folder) { opened.push_back(WideToUtf8(folder)); };
    host.verifyInstaller = [](const std::wstring&) { return true; };
    host.isRemovableDrive = [](const std::wstring& drive) { return drive == L"F:"; };
  }

  ~FakeWinPEMachine() {
    SetEnvironmentVariableW(L"PATH", savedPath_.c_str());
    SetEnvironmentVariableW(L"TVDE_FAKE_FAIL", nullptr);
  }

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
    const std::wstring work = root + L"\\work dir (x64)";
    const std::pair<const wchar_t*, std::wstring> names[] = {
        {L"{pe}", adk + L"\\Windows Preinstallation Environment"},
        {L"{dl}", root + L"\\Temp Folder\\Toreval_ADK_Downloads"},
        {L"{temp}", root + L"\\Temp Folder"},
        {L"{mount}", work + L"\\mount"},
        {L"{work}", work},
        {L"{iso}", root + L"\\out put\\Toreval WinPE.iso"},
        {L"{adk}", adk},
        {L"{root}", root}};
    for (const auto& [name, value] : names) {
      for (size_t at; (at = text.find(name)) != std::wstring::npos;)
        text.replace(at, wcslen(name), value);
    }
    return text;
  }
  std::vector<std::string> Xs(const std::vector<std::wstring>& lines) const {
    std::vector<std::string> out;
    for (const std::wstring& line : lines)
      out.push_back(WideToUtf8(X(line)));
    return out;
  }

  void Write(const std::wstring& path, const std::string& content) const {
    fs::create_directories(fs::path(X(path)).parent_path());
    std::ofstream(fs::path(X(path)), std::ios::binary | std::ios::trunc) << content;
  }
  std::string Read(const std::wstring& path) const {
    std::ostringstream content;
    content << std::ifstream(fs::path(X(path)), std::ios::binary).rdbuf();
    return content.str();
  }
  bool Exists(const std::wstring& path) const { return fs::exists(X(path)); }
  void Remove(const std::wstring& path) const { fs::remove(X(path)); }

  LogCallback Log() {
    return [this](const std::wstring& line) { log.push_back(WideToUtf8(line)); };
  }
  std::vector<std::string> ToolCalls() const {
    std::vector<std::string> calls;
    std::istringstream text(Read(L"{root}\\calls.txt"));
    for (std::string line; std::getline(text, line);)
      calls.push_back(line);
    return calls;
  }

  // A request with {work}, {iso}, target F: and certificates on D:.
  WinPEBuildRequest Request(int32_t mode, int32_t uefiOnly = 0) const {
    return {mode,
            0,
            uefiOnly,
            L"F: [USB Drive - 14.91 GB]",
            X(L"{iso}"),
            X(L"{work}"),
            L"D:\\Certificates"};
  }
  int32_t Build(const WinPEBuildRequest& request) { return BuildWinPEMedia(request, Log(), host); }

  WinPEHost host;
  std::vector<std::string> commands, log, opened;

 private:
  void CopyFakeTool(const std::wstring& path) const {
    fs::create_directories(fs::path(path).parent_path());
    fs::copy_file(fakeTool_, path);
  }

  TempDir dir_;
  std::wstring fakeTool_ = ProgramDirectory() + L"\\tvde_fake_tool.exe";
  std::wstring savedPath_, failing_;
};

}  // namespace tvde::testing
