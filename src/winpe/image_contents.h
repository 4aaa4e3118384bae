#pragma once
// What the build puts into the mounted WinPE image: the program and its runtime DLLs, the
// Japanese packages, fonts and registry values, and the two start-up files.

#include <cstdint>
#include <string>
#include <string_view>

namespace tvde {

struct WinPEImagePaths {
  std::wstring programFiles;        // {mount}\Program Files
  std::wstring programFolder;       // ...\Toreval Disk Eraser
  std::wstring programFile;         // ...\TorevalDiskEraser.exe
  std::wstring fontSupportPackage;  // WinPE_OCs\WinPE-FontSupport-JA-JP.cab of the architecture
  std::wstring languagePack;        // WinPE_OCs\ja-jp\lp.cab
  std::wstring imageFonts;          // {mount}\Windows\Fonts
  std::wstring programFonts;        // program folder + \Fonts
  std::wstring softwareHive;        // {mount}\Windows\System32\config\SOFTWARE
  std::wstring shellStartupFile;    // winpeshl.ini
  std::wstring commandStartupFile;  // startnet.cmd
};

WinPEImagePaths MakeWinPEImagePaths(const std::wstring& adkRoot, const std::wstring& mountDir,
                                    int32_t architecture);

// Beside the running program, the 32-bit build's own file and, as a second choice, a 32-bit
// build in an "x86" folder.
inline constexpr std::wstring_view kX86ProgramName = L"TorevalDiskEraser_x86.exe";
inline constexpr std::wstring_view kX86ProgramInFolder = L"x86\\TorevalDiskEraser.exe";

// The C runtime DLLs the program needs in WinPE, in copy order.
inline constexpr std::wstring_view kRuntimeDlls[] = {
    L"vcruntime140.dll", L"vcruntime140_1.dll", L"msvcp140.dll", L"msvcp140_1.dll",
    L"msvcp140_2.dll",   L"concrt140.dll",      L"ucrtbase.dll",
};

// Japanese fonts copied from the host, in copy order.
inline constexpr std::wstring_view kJapaneseFonts[] = {
    L"msgothic.ttc",
    L"YuGothM.ttc",
    L"YuGothB.ttc",
    L"meiryo.ttc",
};

// Commands of the ADK's DISM (`dism`, AdkDismPath) on the mounted image; the paths are quoted.
std::wstring AddPackageCommand(const std::wstring& dism, const std::wstring& mountDir,
                               const std::wstring& package);
std::wstring SetAllIntlCommand(const std::wstring& dism, const std::wstring& mountDir);
std::wstring SetLayeredDriverCommand(const std::wstring& dism, const std::wstring& mountDir);

// The image's software hive is loaded under this key while the font values are written.
inline constexpr std::wstring_view kHiveMountKey = L"HKLM\\TVDE_PESOFT";

struct ImageRegistryValue {
  std::wstring_view key;  // below the hive mount key
  std::wstring_view name;
  std::wstring_view type;
  std::wstring_view data;
};

inline constexpr std::wstring_view kFontsKey = L"Microsoft\\Windows NT\\CurrentVersion\\Fonts";
inline constexpr std::wstring_view kSystemLinkKey =
    L"Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";

// The font registrations and font links, in write order.
inline constexpr ImageRegistryValue kImageRegistryValues[] = {
    {kFontsKey, L"MS Gothic & MS PGothic & MS UI Gothic (TrueType)", L"REG_SZ", L"msgothic.ttc"},
    {kFontsKey, L"Yu Gothic Medium & Yu Gothic UI Regular (TrueType)", L"REG_SZ", L"YuGothM.ttc"},
    {kSystemLinkKey, L"Segoe UI", L"REG_MULTI_SZ", L"msgothic.ttc,MS UI Gothic"},
    {kSystemLinkKey, L"Tahoma", L"REG_MULTI_SZ", L"msgothic.ttc,MS UI Gothic"},
    {kSystemLinkKey, L"Microsoft Sans Serif", L"REG_MULTI_SZ", L"msgothic.ttc,MS UI Gothic"},
    {kSystemLinkKey, L"Consolas", L"REG_MULTI_SZ", L"msgothic.ttc,MS Gothic"},
};

// reg.exe of the system folder; the query succeeds while a hive is loaded under the mount key.
std::wstring LoadHiveCommand(const std::wstring& systemFolder, const std::wstring& hiveFile);
std::wstring RegistryAddCommand(const std::wstring& systemFolder, const ImageRegistryValue& value);
std::wstring UnloadHiveCommand(const std::wstring& systemFolder);
std::wstring QueryHiveCommand(const std::wstring& systemFolder);

// The start-up files, byte for byte (ASCII, CR LF line ends): WinPE's shell starts wpeinit and
// then the program from the image drive X:.
std::string_view ShellStartupFileText();
std::string_view CommandStartupFileText();

}  // namespace tvde
