// Settings saved and loaded through the real store of each build: the profile functions and
// the HKEY_CURRENT_USER copy under Wine, the UTF-8 INI file natively. Every test uses its own
// scratch file (and scratch registry key), never the operator's settings.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "settings/app_settings.h"
#include "settings/default_log_directory.h"
#include "settings/settings_rules.h"
#include "support/temp_dir.h"
#include "support/text_matchers.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace tvde {
namespace {

using testing::U8;

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    static std::atomic<int> counter{0};
    registryRoot_ = L"Software\\TorevalTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                    std::to_wstring(counter.fetch_add(1));
    store_.registrySubkey = registryRoot_ + L"\\DiskEraser";
#else
    // The default certificate folder lives under $HOME: keep it inside the scratch folder.
    const char* home = std::getenv("HOME");
    hadHome_ = home != nullptr;
    if (hadHome_) savedHome_ = home;
    setenv("HOME", dir_.path().string().c_str(), 1);
#endif
    store_.iniPath = dir_.File("TorevalDiskEraser.ini");
  }

  void TearDown() override {
#ifdef _WIN32
    RegDeleteTreeW(HKEY_CURRENT_USER, registryRoot_.c_str());
#else
    if (hadHome_)
      setenv("HOME", savedHome_.c_str(), 1);
    else
      unsetenv("HOME");
#endif
  }

  std::filesystem::path IniFile() const {
    return dir_.path() / "TorevalDiskEraser.ini";
  }

  AppSettings Sample() const {
    AppSettings s;
    s.operatorName = L"山田 太郎";
    s.organizationName = L"株式会社トレヴァル 資産処分課";
    s.certOutputDir = dir_.File("証明書");
    s.defaultStandard = 7;
    s.defaultVerify = 2;
    s.defaultExecMode = 1;
    s.writeDiskStamp = 1;
    s.enableLogOutput = 1;
    s.signingKeyFile = dir_.File("鍵/signing_private_key.pem");
    return s;
  }

  testing::TempDir dir_;
  SettingsStore store_;
#ifdef _WIN32
  std::wstring registryRoot_;
#else
  std::string savedHome_;
  bool hadHome_ = false;
#endif
};

void ExpectSame(const AppSettings& a, const AppSettings& b) {
  EXPECT_EQ(U8(a.operatorName), U8(b.operatorName));
  EXPECT_EQ(U8(a.organizationName), U8(b.organizationName));
  EXPECT_EQ(U8(a.certOutputDir), U8(b.certOutputDir));
  EXPECT_EQ(a.defaultStandard, b.defaultStandard);
  EXPECT_EQ(a.defaultVerify, b.defaultVerify);
  EXPECT_EQ(a.defaultExecMode, b.defaultExecMode);
  EXPECT_EQ(a.writeDiskStamp, b.writeDiskStamp);
  EXPECT_EQ(a.enableLogOutput, b.enableLogOutput);
  EXPECT_EQ(U8(a.signingKeyFile), U8(b.signingKeyFile));
}

TEST_F(SettingsStoreTest, TextsWithOuterBlanksOrQuotesSurviveASaveAndReload) {
  // Reading a profile value trims its blanks and drops one pair of quotes around it.
  for (const std::wstring text :
       {L"  padded  ", L"\"quoted\"", L"'single'", L" \"both\" ", L"\ttab", L"\"", L"'mixed\"",
        L"\"\"", L"   ", L"inner \"quotes\" stay"}) {
    SCOPED_TRACE(U8(text));
    AppSettings saved = Sample();
    saved.operatorName = text;
    saved.organizationName = text;
    saved.certOutputDir = text;
    SaveSettingsTo(store_, saved);
    ExpectSame(LoadSettingsFrom(store_), saved);
  }
}

TEST_F(SettingsStoreTest, FirstStartGivesTheDefaults) {
  const AppSettings loaded = LoadSettingsFrom(store_);
  EXPECT_EQ(U8(loaded.operatorName), "Toreval");
  EXPECT_EQ(U8(loaded.organizationName), "Toreval Tools Lab");
  EXPECT_EQ(U8(loaded.certOutputDir), U8(ResolveDefaultLogDirectory()));
  EXPECT_FALSE(loaded.certOutputDir.empty());
  EXPECT_EQ(loaded.defaultStandard, 0);
  EXPECT_EQ(loaded.defaultVerify, 1);
  EXPECT_EQ(loaded.defaultExecMode, 0);              // simulation
  EXPECT_EQ(loaded.writeDiskStamp, 0);               // stamp on
  EXPECT_EQ(loaded.enableLogOutput, 0);              // files on
  EXPECT_TRUE(loaded.signingKeyFile.empty());        // unsigned
  EXPECT_FALSE(std::filesystem::exists(IniFile()));  // loading writes nothing
}

TEST_F(SettingsStoreTest, EveryFieldRoundTripsIncludingJapaneseText) {
  const AppSettings saved = Sample();
  SaveSettingsTo(store_, saved);
  ExpectSame(LoadSettingsFrom(store_), saved);

  const std::string bytes = ReadBytes(IniFile());
#ifdef _WIN32
  // A new file starts with the UTF-16LE mark, so the profile functions keep every character.
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_NE(bytes.find(std::string("\x71\x5C\x30\x75", 4)), std::string::npos);  // 山田
  EXPECT_EQ(bytes.find("????"), std::string::npos);
#else
  EXPECT_NE(bytes.find("OperatorName=山田 太郎\n"), std::string::npos);
  EXPECT_NE(bytes.find("[Safety]\nDefaultExecMode=1\n"), std::string::npos);
  EXPECT_NE(bytes.find("[Signing]\nSigningKeyFile=" + U8(saved.signingKeyFile) + "\n"),
            std::string::npos);
#endif

  // Saving again with other values replaces them.
  AppSettings second = DefaultSettings();
  second.operatorName = L"Operator 2";
  SaveSettingsTo(store_, second);
  ExpectSame(LoadSettingsFrom(store_), second);
}

TEST_F(SettingsStoreTest, TextsComeBackCutTo259Characters) {
  AppSettings saved = Sample();
  saved.operatorName = std::wstring(259, L'あ');
  saved.organizationName = std::wstring(300, L'O');
  saved.certOutputDir = std::wstring(260, L'D');
  SaveSettingsTo(store_, saved);
  const AppSettings loaded = LoadSettingsFrom(store_);
  EXPECT_EQ(U8(loaded.operatorName), U8(std::wstring(259, L'あ')));
  EXPECT_EQ(U8(loaded.organizationName), std::string(259, 'O'));
  EXPECT_EQ(U8(loaded.certOutputDir), std::string(259, 'D'));

  // An operator name too long for the registry buffer leaves the (cut) INI value.
  saved.operatorName = std::wstring(280, L'N');
  SaveSettingsTo(store_, saved);
  EXPECT_EQ(U8(LoadSettingsFrom(store_).operatorName), std::string(259, 'N'));
}

TEST_F(SettingsStoreTest, HandWrittenNumbersFollowTheLoadRules) {
  struct Case {
    const char* standard;
    const char* verify;
    const char* flag;
    int32_t expectedStandard, expectedVerify, expectedFlag;
  };
  const Case cases[] = {
      {"9", "3", "2", 0, 1, 0},
      {"-1", "-1", "-1", 0, 1, 0},
      {"7", "2", "1", 7, 2, 1},
      {"0", "0", "0", 0, 0, 0},
      {"abc", "x", "yes", 0, 0, 0},
      {"", "", "", 0, 1, 0},
      {" 3 ", "01", "01", 3, 1, 1},
      {"8", "2", "true", 0, 2, 0},
      // Values with the top bit set must not pass as negative numbers below the limits.
      {"2147483648", "2147483650", "2147483649", 0, 1, 0},
  };
  for (const Case& c : cases) {
    // An existing file in the ANSI code page, as older versions and editors leave it.
    WriteBytes(IniFile(), std::string("[General]\r\nOperatorName=Legacy Operator\r\n") +
                              "[Sanitization]\r\nDefaultStandard=" + c.standard +
                              "\r\nDefaultVerify=" + c.verify + "\r\nWriteDiskStamp=" + c.flag +
                              "\r\nEnableLogOutput=" + c.flag +
                              "\r\n[Safety]\r\nDefaultExecMode=" + c.flag + "\r\n");
    const AppSettings loaded = LoadSettingsFrom(store_);
    const std::string label = std::string(c.standard) + "/" + c.verify + "/" + c.flag;
    EXPECT_EQ(loaded.defaultStandard, c.expectedStandard) << label;
    EXPECT_EQ(loaded.defaultVerify, c.expectedVerify) << label;
    EXPECT_EQ(loaded.writeDiskStamp, c.expectedFlag) << label;
    EXPECT_EQ(loaded.enableLogOutput, c.expectedFlag) << label;
    EXPECT_EQ(loaded.defaultExecMode, c.expectedFlag) << label;
    EXPECT_EQ(U8(loaded.operatorName), "Legacy Operator");
    EXPECT_EQ(U8(loaded.organizationName), "Toreval Tools Lab");
  }
}

TEST_F(SettingsStoreTest, AnExistingAnsiFileKeepsItsValuesAndThenStoresJapanese) {
  WriteBytes(IniFile(),
             "[General]\r\nOperatorName=Old Name\r\nOrganizationName=Old Org\r\n"
             "[Custom]\r\nKeep=this line\r\n");
  EXPECT_EQ(U8(LoadSettingsFrom(store_).organizationName), "Old Org");
  AppSettings saved = LoadSettingsFrom(store_);
  saved.organizationName = L"日本語の組織名";
  SaveSettingsTo(store_, saved);
  const AppSettings loaded = LoadSettingsFrom(store_);
  EXPECT_EQ(U8(loaded.organizationName), "日本語の組織名");
  EXPECT_EQ(U8(loaded.operatorName), "Old Name");
#ifdef _WIN32
  EXPECT_EQ(ReadBytes(IniFile()).substr(0, 2), "\xFF\xFE");
  wchar_t keep[64] = {};
  GetPrivateProfileStringW(L"Custom", L"Keep", L"", keep, 64, store_.iniPath.c_str());
  EXPECT_EQ(U8(keep), "this line");
#else
  EXPECT_NE(ReadBytes(IniFile()).find("[Custom]\nKeep=this line\n"), std::string::npos);
#endif
}

TEST_F(SettingsStoreTest, LineBreaksInTextsCannotInjectOtherKeys) {
  AppSettings saved = Sample();
  saved.defaultExecMode = 0;
  saved.organizationName = L"Org\r\n[Safety]\r\nDefaultExecMode=1";
  saved.operatorName = L"Op\nEnableLogOutput=1";
  saved.enableLogOutput = 0;
  SaveSettingsTo(store_, saved);
  const AppSettings loaded = LoadSettingsFrom(store_);
  EXPECT_EQ(loaded.defaultExecMode, 0);
  EXPECT_EQ(loaded.enableLogOutput, 0);
  EXPECT_EQ(U8(loaded.organizationName), "Org  [Safety]  DefaultExecMode=1");
  EXPECT_EQ(U8(loaded.operatorName), "Op EnableLogOutput=1");
}

TEST_F(SettingsStoreTest, AnUnwritableLocationIsIgnoredAndLeavesTheDefaults) {
  store_.iniPath = dir_.File("missing-folder/TorevalDiskEraser.ini");
  SaveSettingsTo(store_, Sample());
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing-folder"));
  const AppSettings loaded = LoadSettingsFrom(store_);
  EXPECT_EQ(U8(loaded.organizationName), "Toreval Tools Lab");
  EXPECT_EQ(loaded.defaultStandard, 0);
#ifdef _WIN32
  // The registry copy was still written, and its operator wins.
  EXPECT_EQ(U8(loaded.operatorName), "山田 太郎");
#else
  EXPECT_EQ(U8(loaded.operatorName), "Toreval");
#endif
}

TEST_F(SettingsStoreTest, ReadingWithoutFolderCreationLeavesTheCertificateFolderEmpty) {
  // A reader that writes no files creates no certificate folder; for everyone else an empty
  // certificate folder in the file means the default one.
  AppSettings saved = Sample();
  saved.certOutputDir.clear();
  SaveSettingsTo(store_, saved);
  EXPECT_TRUE(LoadSettingsFrom(store_, FolderCreation::None).certOutputDir.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);  // the file
  EXPECT_EQ(U8(LoadSettingsFrom(store_).certOutputDir), U8(ResolveDefaultLogDirectory()));
}

#ifndef _WIN32
TEST_F(SettingsStoreTest, UnusableFilesGiveTheDefaultsWithAWarningAndAreNotWrittenOver) {
  // A pipe used to hang the program, a folder to abort it, /dev/zero to fill the memory.
  const std::string ini = U8(store_.iniPath);
  const std::vector<std::pair<std::function<void()>, std::string>> files = {
      {[&] { ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0); }, "is not a regular file"},
      {[&] { std::filesystem::create_directory(ini); }, "is not a regular file"},
      {[&] { std::filesystem::create_symlink("/dev/zero", ini); }, "is not a regular file"},
      {[&] { WriteBytes(IniFile(), std::string(kMaxSettingsFileBytes + 1, '#')); },
       "is larger than 1 MiB"},
  };
  for (const auto& [make, why] : files) {
    std::filesystem::remove_all(ini);
    make();
    std::wstring warning;
    EXPECT_EQ(U8(LoadSettingsFrom(store_, warning).operatorName), "Toreval");
    EXPECT_EQ(U8(warning), "the settings file " + ini + " " + why + "; the defaults are used");
  }
  SaveSettingsTo(store_, Sample());
  EXPECT_EQ(std::filesystem::file_size(IniFile()), kMaxSettingsFileBytes + 1);
}
#endif

#ifdef _WIN32
std::optional<std::wstring> RegistryText(const std::wstring& subkey, const wchar_t* name,
                                         DWORD* bytes) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  wchar_t buffer[512] = {};
  DWORD type = 0;
  DWORD size = sizeof buffer;
  const LSTATUS status =
      RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  *bytes = size;
  return std::wstring(buffer);
}

TEST_F(SettingsStoreTest, TheRegistryCopyHoldsTheThreeTextsWithTheirTerminators) {
  const AppSettings saved = Sample();
  SaveSettingsTo(store_, saved);
  const std::pair<const wchar_t*, std::wstring> values[] = {
      {L"OperatorName", saved.operatorName},
      {L"OrganizationName", saved.organizationName},
      {L"CertOutputDir", saved.certOutputDir}};
  for (const auto& [name, expected] : values) {
    DWORD bytes = 0;
    const auto text = RegistryText(store_.registrySubkey, name, &bytes);
    ASSERT_TRUE(text.has_value()) << U8(name);
    EXPECT_EQ(U8(*text), U8(expected));
    EXPECT_EQ(bytes, (expected.size() + 1) * sizeof(wchar_t)) << U8(name);
  }
}

TEST_F(SettingsStoreTest, TheRegistryOperatorWinsOverAHandEditedFile) {
  SaveSettingsTo(store_, Sample());
  // Edited by hand afterwards: the operator comes back from the registry, the organisation
  // (not read back from the registry) from the file.
  WritePrivateProfileStringW(L"General", L"OperatorName", L"Hand Edited", store_.iniPath.c_str());
  WritePrivateProfileStringW(L"General", L"OrganizationName", L"Hand Org", store_.iniPath.c_str());
  const AppSettings loaded = LoadSettingsFrom(store_);
  EXPECT_EQ(U8(loaded.operatorName), "山田 太郎");
  EXPECT_EQ(U8(loaded.organizationName), "Hand Org");

  // A registry value that is not text is not taken.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, store_.registrySubkey.c_str(), 0, KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  const DWORD number = 7;
  RegSetValueExW(key, L"OperatorName", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                 sizeof number);
  RegCloseKey(key);
  EXPECT_EQ(U8(LoadSettingsFrom(store_).operatorName), "Hand Edited");

  // Without the key the file's value stands.
  RegDeleteTreeW(HKEY_CURRENT_USER, registryRoot_.c_str());
  EXPECT_EQ(U8(LoadSettingsFrom(store_).operatorName), "Hand Edited");
}

TEST_F(SettingsStoreTest, WithoutTheByteOrderMarkJapaneseWouldBeLost) {
  // The fault the mark prevents, shown on the profile functions themselves.
  WriteBytes(IniFile(), "[General]\r\n");
  WritePrivateProfileStringW(L"General", L"OperatorName", L"山田", store_.iniPath.c_str());
  wchar_t raw[64] = {};
  GetPrivateProfileStringW(L"General", L"OperatorName", L"", raw, 64, store_.iniPath.c_str());
  const UINT acp = GetACP();
  if (acp == 932 || acp == 65001) GTEST_SKIP() << "this ANSI code page holds Japanese";
  EXPECT_NE(U8(raw), "山田");
  // Saved through the settings store, the same file keeps the text.
  AppSettings saved = Sample();
  saved.operatorName = L"山田";
  SaveSettingsTo(store_, saved);
  wchar_t kept[64] = {};
  GetPrivateProfileStringW(L"General", L"OperatorName", L"", kept, 64, store_.iniPath.c_str());
  EXPECT_EQ(U8(kept), "山田");
}

TEST(SettingsProfileIntegers, ThePortableReaderAgreesWithGetPrivateProfileIntW) {
  testing::TempDir dir;
  const std::wstring ini = dir.File("numbers.ini");
  const wchar_t* values[] = {L"0",   L"7",   L"9",   L"-1",   L"+3",         L"7abc",
                             L"abc", L"0x5", L"0X5", L"0o17", L"0b101",      L"4294967296",
                             L"1.5", L" 12", L"01",  L"-",    L"99999999999"};
  for (const wchar_t* value : values) {
    WritePrivateProfileStringW(L"S", L"K", value, ini.c_str());
    EXPECT_EQ(ParseProfileInt(value, 42), GetPrivateProfileIntW(L"S", L"K", 42, ini.c_str()))
        << U8(value);
  }
}

TEST(SettingsFilePath, LivesUnderLocalApplicationDataWithItsFoldersCreated) {
  const std::wstring path = GetSettingsFilePath();
  const std::string suffix = "\\Toreval\\DiskEraser\\TorevalDiskEraser.ini";
  ASSERT_GT(path.size(), suffix.size());
  EXPECT_EQ(U8(path).substr(U8(path).size() - suffix.size()), suffix);
  const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << U8(folder);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(U8(DefaultSettingsStore().registrySubkey), "Software\\Toreval\\DiskEraser");
}
#else
TEST(SettingsFilePath, FollowsXdgConfigHomeElseHomeConfig) {
  testing::TempDir dir;
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";

  setenv("XDG_CONFIG_HOME", (dir.path() / "xdg").string().c_str(), 1);
  EXPECT_EQ(U8(GetSettingsFilePath(FolderCreation::None)),
            (dir.path() / "xdg" / "toreval" / "TorevalDiskEraser.ini").string());
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "xdg"));  // until folders may be created
  EXPECT_EQ(U8(GetSettingsFilePath()),
            (dir.path() / "xdg" / "toreval" / "TorevalDiskEraser.ini").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "xdg" / "toreval"));

  setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  setenv("HOME", (dir.path() / "home").string().c_str(), 1);
  EXPECT_EQ(U8(GetSettingsFilePath()),
            (dir.path() / "home" / ".config" / "toreval" / "TorevalDiskEraser.ini").string());
  EXPECT_TRUE(DefaultSettingsStore().registrySubkey.empty());

  if (oldXdg)
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  if (oldHome)
    setenv("HOME", savedHome.c_str(), 1);
  else
    unsetenv("HOME");
}
#endif

}  // namespace
}  // namespace tvde
