#pragma once
// A machine for the media builder in a temporary folder with blanks in its path: an ADK tree,
// the program and its 32-bit build with DLLs, host fonts. Its runner records each command
// ("[silent] " without a log) and does what the tool would, a mounted image held open and a loaded
// hive remembered included; a command matching a failing pattern prints "name failed" and exits
// with 1; a killed build ends by FakeKill. Log lines and opened folders are kept as UTF-8.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/win/win_handle.h"
#include "support/temp_dir.h"
#include "winpe/winpe_build.h"

namespace tvde::testing {

namespace fs = std::filesystem;

enum class FakeAdk { kNone, kX64, kX64AndX86 };

struct FakeKill {};

// "path|content" a line.
inline constexpr const wchar_t* kMachineFiles =
    LR"({root}\Program Dir\vcruntime140.dll|beside
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
    LR"({adk}\Deployment Tools\DandISetEnv.bat|
{adk}\Deployment Tools\amd64\Oscdimg\oscdimg.exe|
{adk}\Deployment Tools\amd64\Oscdimg\etfsboot.com|etfsboot.com
{adk}\Deployment Tools\amd64\Oscdimg\efisys.bin|efisys.bin
{adk}\Deployment Tools\amd64\Oscdimg\efisys_noprompt.bin|efisys_noprompt.bin
{adk}\Deployment Tools\amd64\Oscdimg\efisys_EX.bin|efisys_EX.bin
{adk}\Deployment Tools\amd64\BCDBoot\bootsect.exe|
{adk}\Deployment Tools\amd64\DISM\dism.exe|
{pe}\copype.cmd|
{pe}\amd64\Media\bootmgr|amd64 bootmgr
{pe}\amd64\Media\EFI\Boot\bootx64.efi|efi
{pe}\amd64\WinPE_OCs\WinPE-FontSupport-JA-JP.cab|
{pe}\amd64\WinPE_OCs\ja-jp\lp.cab|)";

class FakeWinPEMachine {
 public:
  explicit FakeWinPEMachine(FakeAdk adk = FakeAdk::kX64) {
    WriteAll(kMachineFiles);
    WriteProgram(L"{root}\\Program Dir\\TorevalDiskEraser.exe", 0x8664, "x64 program");
    WriteProgram(L"{root}\\Program Dir\\TorevalDiskEraser_x86.exe", 0x14C, "x86");
    if (adk != FakeAdk::kNone) {
      WriteAll(kAdkFiles);
      // Mounting brings a software hive and an old startnet.cmd longer than the new one.
      Write(
          L"{pe}\\amd64\\en-us\\winpe.wim|Windows\\System32\\config\\SOFTWARE\nWindows\\System32\\startnet.cmd");
    }
    if (adk == FakeAdk::kX64AndX86)
      Write(L"{pe}\\x86\\en-us\\winpe.wim|Windows\\System32\\startnet.cmd");
    host = {{X(L"{adk}"), X(L"{root}\\Other Kit")},
            X(L"{temp}\\"),
            X(L"{root}\\Program Dir\\TorevalDiskEraser.exe"),
            X(L"{sys}"),
            X(L"{root}\\SysWOW64"),
            X(L"{root}\\Fonts\\"),
            [this](const std::wstring& command, LogCallback sink) {
              commands.push_back(WideToUtf8(sink ? command : L"[silent] " + command));
              return Run(command, sink);
            },
            [this](const std::wstring& folder) { opened.push_back(WideToUtf8(folder)); },
            [this](const std::wstring& file, void* handle) { return Signature(file, handle); },
            [this](const std::wstring& file) { return versions[file]; },
            [](const std::wstring& drive) { return drive == L"F:"; }};
  }

  void FailToolsMatching(const std::wstring& pattern) { failing_.push_back(pattern); }
  // Runs an ISO build that is killed while its image is mounted and the image's hive loaded (the
  // fake tools keep both), then starts the records afresh. True when it was killed there.
  bool KillABuildAfterTheMount() {
    kill_ = true;
    bool killed = false;
    try {
      Build(Request(kWinPEOutputIso));
    } catch (const FakeKill&) {
      killed = true;
    }
    kill_ = false, commands.clear(), log.clear();
    return killed;
  }
  // A PE header of `machine` followed by `tag`.
  static std::string Program(uint16_t machine, const std::string& tag) {
    return "MZ" + std::string(0x3A, '\0') + std::string("\x40\0\0\0PE\0\0", 8) +
           static_cast<char>(machine & 0xFF) + static_cast<char>(machine >> 8) + tag;
  }
  void WriteProgram(const std::wstring& path, uint16_t machine, const std::string& tag) const {
    Make(X(path), Program(machine, tag));
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
        {L"{sys}", root + L"\\system32"},
        {L"{dism}", adk + L"\\Deployment Tools\\amd64\\DISM\\dism.exe"},
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
  // Writes "path|content"; a '\n' in the content becomes CR LF.
  void Write(const std::wstring& entry) const {
    std::wstring content = entry.substr(entry.find(L'|') + 1);
    for (size_t at = 0; (at = content.find(L'\n', at)) != std::wstring::npos; at += 2)
      content.insert(at, 1, L'\r');
    Make(X(entry.substr(0, entry.find(L'|'))), WideToUtf8(content));
  }
  std::string Read(const std::wstring& path) const { return ReadFile(X(path)); }
  bool Exists(const std::wstring& path) const { return fs::exists(X(path)); }
  void Remove(const std::wstring& path) const { fs::remove(X(path)); }

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
  std::map<std::wstring, std::wstring> versions;  // the version resource of each file
  // What the signature check answers; it reads the file through the handle it is given.
  InstallerSignature signature{0, true, L"Microsoft Corporation"};

 private:
  static std::string ReadFile(const fs::path& file) {
    std::ostringstream content;
    content << std::ifstream(file, std::ios::binary).rdbuf();
    return content.str();
  }
  static void Make(const fs::path& file, const std::string& text = "") {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  }

  InstallerSignature Signature(const std::wstring& file, void* handle) {
    char content[16] = {};
    DWORD read = 0;
    ::ReadFile(static_cast<HANDLE>(handle), content, sizeof content, &read, nullptr);
    ExpectHeldAgainstWriting(file);
    return std::string(content, read) == "installer" ? signature : InstallerSignature{};
  }

  static void ExpectHeldAgainstWriting(const std::wstring& file) {
    WinHandle writer(
        CreateFileW(file.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer.valid()) << "an installer could be replaced: " << WideToUtf8(file);
  }

  // The tokens of a command as the tools parse them: blanks separate, quotes group and vanish.
  static std::vector<std::wstring> Tokens(const std::wstring& command) {
    std::vector<std::wstring> tokens(1);
    bool quoted = false;
    for (const wchar_t c : command) {
      if (c == L'"') {
        quoted = !quoted;
      } else if (c == L' ' && !quoted) {
        if (!tokens.back().empty()) tokens.emplace_back();
      } else {
        tokens.back().push_back(c);
      }
    }
    return tokens;
  }

  // What the tool of `command` leaves behind for the builder's next step.
  int32_t Run(const std::wstring& command, const LogCallback& sink) {
    std::vector<std::wstring> t = Tokens(command);
    if (t[0] == L"call") t.erase(t.begin(), t.begin() + 3);  // call "env" && tool ...
    std::wstring name = fs::path(t[0]).filename().wstring();
    std::transform(name.begin(), name.end(), name.begin(), towlower);
    if (fs::path(name).extension().empty()) name += L".exe";  // "xcopy" as typed
    const auto say = [&sink](const std::wstring& line) {
      if (sink) sink(L"  " + line);
    };
    if (kill_ && command.find(L"/v \"Tahoma\"") != std::wstring::npos) throw FakeKill{};
    for (const std::wstring& pattern : failing_) {
      if (command.find(pattern) != std::wstring::npos) return say(name + L" failed"), 1;
    }
    t.resize(std::max<size_t>(t.size(), 8));  // short commands read empty arguments
    const auto has = [&](const wchar_t* text) { return command.find(text) != std::wstring::npos; };
    const fs::path adk = X(L"{adk}");
    if (name.rfind(L"adk", 0) == 0 || name == L"msiexec.exe")
      ExpectHeldAgainstWriting(t[name[0] == L'a' ? 0 : 2]);
    if (name == L"curl.exe") {  // -L url -o file
      Make(t[4], "installer");
    } else if (name == L"rmdir.exe") {  // /s /q "{work}": a file held open stays, with its folder
      std::error_code failed;
      fs::remove_all(t[3], failed);
      return failed ? 1 : 0;
    } else if (name == L"xcopy.exe") {  // /herky "{from}" "{to}" or /E /I /Y "{from}" "{to}"
      const fs::path from = t[t[1] == L"/herky" ? 2 : 4], to = t[t[1] == L"/herky" ? 3 : 5];
      if (!fs::exists(from)) return say(L"File not found - " + from.wstring()), 4;
      for (const fs::directory_entry& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory()) fs::create_directories(target);
        if (!entry.is_directory()) Make(target, ReadFile(entry.path()));
      }
    } else if (name == L"msiexec.exe") {  // /a "{package}" /qn TARGETDIR="{folder}"
      if (!fs::exists(t[2])) return 1603;
      const fs::path kit = t[4].substr(10) + L"\\Windows Kits\\10\\Assessment and Deployment Kit";
      // An image without software hive.
      Make(kit / L"Windows Preinstallation Environment\\x86\\en-us\\winpe.wim",
           "Windows\\System32\\startnet.cmd\r\n");
      Make(kit / L"Windows Preinstallation Environment\\x86\\Media\\bootmgr", "x86 bootmgr");
      Make(kit /
           L"Windows Preinstallation Environment\\x86\\WinPE_OCs\\WinPE-FontSupport-JA-JP.cab");
      Make(kit / L"Deployment Tools\\x86\\DISM\\dism.exe");
      Make(kit / L"Deployment Tools\\x86\\Oscdimg\\efisys.bin", "x86 efisys.bin");
    } else if (name == L"dism.exe" && t[1] == L"/Mount-Image") {
      // The fake image file lists the files that mounting it brings into the mount folder.
      const std::wstring image = t[2].substr(11), folder = t[4].substr(10);
      std::istringstream list(ReadFile(image));
      for (std::string line; std::getline(list, line) && line.size() > 1;)
        Make(fs::path(folder) / line.substr(0, line.find('\r')), std::string(200, 'x'));
      mounts_[folder] = WinHandle(
          CreateFileW(image.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    } else if (name == L"dism.exe" && t[1] == L"/Unmount-Image") {
      const auto mount = mounts_.find(t[2].substr(10));
      if (mount == mounts_.end() || hiveLoaded_) return say(L"unmount failed"), 1;
      mounts_.erase(mount);
    } else if (name == L"dism.exe" && t[1] == L"/Get-MountedImageInfo") {
      for (const auto& [folder, image] : mounts_)
        say(L"Mount Dir : " + folder);
    } else if (name == L"reg.exe" && t[1] != L"add") {  // load, unload or query
      const bool wasLoaded = hiveLoaded_;
      hiveLoaded_ = t[1] == L"load" || (t[1] == L"query" && wasLoaded);
      return (t[1] == L"load") == wasLoaded ? 1 : 0;
    } else if (name == L"oscdimg.exe" || (name == L"makewinpemedia.cmd" && t[1] == L"/ISO")) {
      Make(t[name == L"oscdimg.exe" ? 7 : 3], WideToUtf8(name) + " image");
    } else if (name.rfind(L"adk", 0) == 0 || name == L"winget.exe") {
      if (has(L"OptionId.DeploymentTools") || has(L"WindowsADK -e"))
        Make(adk / L"Deployment Tools\\DandISetEnv.bat");
      if (has(L"PreinstallationEnvironment") || has(L"PEaddon"))
        Make(adk / L"Windows Preinstallation Environment\\copype.cmd");
      if (has(L"--version 10.1.28000.1"))  // the pinned release's DISM or boot manager
        versions[has(L"PEaddon") ? X(L"{pe}\\amd64\\Media\\EFI\\Boot\\bootx64.efi")
                                 : X(L"{dism}")] = L"10.0.28000.1";
      if (t[1] == L"/layout") {
        Make(fs::path(t[2]) / L"Installers\\Windows PE x86 x64-x86_en-us.msi", "installer");
        Make(fs::path(t[2]) / L"Installers\\Windows PE x86 x64 wims-x86_en-us.msi", "installer");
      }
    }
    return 0;
  }

  TempDir dir_;
  std::vector<std::wstring> failing_;
  bool kill_ = false;
  std::map<std::wstring, WinHandle> mounts_;  // mount folder: the image, held as DISM holds it
  bool hiveLoaded_ = false;
};

}  // namespace tvde::testing
