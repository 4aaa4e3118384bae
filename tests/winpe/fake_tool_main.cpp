// Stand-in for every external tool of the media builder, copied under each tool's name (or run
// as "tvde_fake_tool.exe as NAME ..." from a batch file). It appends "name arguments" to
// %TVDE_FAKE_CALLS%, fails ("name failed", exit 1) when that record contains one of the
// '|'-separated patterns of %TVDE_FAKE_FAIL%, and otherwise leaves what the builder's next step
// expects.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::wstring Env(const wchar_t* name) {
  wchar_t value[4096] = {};
  return GetEnvironmentVariableW(name, value, 4096) < 4096 ? value : L"";
}

// Takes the first token off `line` as the tools parse it: blanks separate, quotes group and
// vanish, backslashes are plain characters.
std::wstring NextToken(std::wstring& line) {
  std::wstring token;
  bool quoted = false;
  size_t i = line.find_first_not_of(L' ');
  for (; i < line.size() && (quoted || line[i] != L' '); ++i) {
    if (line[i] == L'"')
      quoted = !quoted;
    else
      token.push_back(line[i]);
  }
  const size_t rest = i < line.size() ? line.find_first_not_of(L' ', i) : std::wstring::npos;
  line = rest == std::wstring::npos ? L"" : line.substr(rest);
  return token;
}

void Make(const fs::path& file, const std::string& text = "") {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

int Act(const std::wstring& name, const std::wstring& arguments) {
  std::vector<std::wstring> t;
  for (std::wstring rest = arguments; !rest.empty();)
    t.push_back(NextToken(rest));
  t.resize(std::max<size_t>(t.size(), 5));  // short commands read empty arguments
  const auto has = [&](const wchar_t* text) { return arguments.find(text) != std::wstring::npos; };
  const fs::path adk = Env(L"TVDE_FAKE_ADK");
  if (name == L"curl.exe") {  // -L url -o file: the "download" is this program
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    fs::copy_file(self, t[3], fs::copy_options::overwrite_existing);
  } else if (name == L"xcopy.exe") {  // ... "{from}" "{to}"
    const fs::path from = t[t[0] == L"/herky" ? 1 : 3], to = t[t[0] == L"/herky" ? 2 : 4];
    if (!fs::exists(from)) {
      std::printf("File not found - %s\n", from.string().c_str());
      return 4;
    }
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(from)) {
      const fs::path target = to / fs::relative(entry.path(), from);
      fs::create_directories(entry.is_directory() ? target : target.parent_path());
      if (!entry.is_directory())
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing);
    }
  } else if (name == L"msiexec.exe") {  // /a "{package}" /qn TARGETDIR="{folder}"
    const fs::path x86 =
        fs::path(t[3].substr(10)) / L"Windows Kits\\10\\Assessment and Deployment Kit";
    if (!fs::exists(t[1])) return 1603;
    Make(x86 / L"Windows Preinstallation Environment\\x86\\en-us\\winpe.wim",
         "Windows\\System32\\startnet.cmd\r\n");  // an image without software hive
    Make(x86 / L"Windows Preinstallation Environment\\x86\\Media\\bootmgr", "x86 bootmgr");
    Make(x86 / L"Windows Preinstallation Environment\\x86\\WinPE_OCs\\WinPE-FontSupport-JA-JP.cab");
    Make(x86 / L"Deployment Tools\\x86\\DISM\\dism.exe");
  } else if (name == L"dism.exe" && t[0] == L"/Mount-Image") {
    // The fake image file lists the files that mounting it brings into the mount folder.
    std::ifstream image(fs::path(t[1].substr(11)), std::ios::binary);
    for (std::string line; std::getline(image, line) && line.size() > 1;) {
      Make(fs::path(t[3].substr(10)) / line.substr(0, line.size() - 1), std::string(200, 'x'));
    }
  } else if (name == L"oscdimg.exe" || (name == L"makewinpemedia.cmd" && t[0] == L"/ISO")) {
    Make(t[name == L"oscdimg.exe" ? 6 : 2], fs::path(name).string() + " image");
  } else if (name.rfind(L"adk", 0) == 0 || name == L"winget.exe") {
    if (has(L"OptionId.DeploymentTools") || has(L"WindowsADK -e")) {
      Make(adk / L"Deployment Tools\\DandISetEnv.bat");
    }
    if (has(L"PreinstallationEnvironment") || has(L"WinPEAddon")) {
      Make(adk / L"Windows Preinstallation Environment\\copype.cmd");
    }
    if (t[0] == L"/layout") {
      Make(fs::path(t[1]) / L"Installers\\Windows PE x86 x64-x86_en-us.msi");
      Make(fs::path(t[1]) / L"Installers\\Windows PE x86 x64 wims-x86_en-us.msi");
    }
  }
  return 0;
}

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), towlower);
  return text;
}

}  // namespace

int wmain() {
  std::wstring rest = GetCommandLineW();
  std::wstring name = Lower(fs::path(NextToken(rest)).filename().wstring());
  if (fs::path(name).extension().empty()) name += L".exe";  // "xcopy" as typed
  if (name == L"tvde_fake_tool.exe" && NextToken(rest) == L"as") name = Lower(NextToken(rest));
  const std::wstring record = name + L" " + rest;
  std::ofstream(fs::path(Env(L"TVDE_FAKE_CALLS")), std::ios::app | std::ios::binary)
      << fs::path(record).string() << "\n";
  const std::wstring patterns = Env(L"TVDE_FAKE_FAIL") + L"|";
  for (size_t start = 0, end; (end = patterns.find(L'|', start)) != std::wstring::npos;
       start = end + 1) {
    if (end > start && record.find(patterns.substr(start, end - start)) != std::wstring::npos) {
      std::printf("%s failed\n", fs::path(name).string().c_str());
      return 1;
    }
  }
  return Act(name, rest);
}
