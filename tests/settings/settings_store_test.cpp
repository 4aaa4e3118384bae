// Settings: the load rules, the default certificate folder, and saving and loading through
// the real store of each build (the profile functions and the HKEY_CURRENT_USER copy under
// Wine, the UTF-8 INI file natively), each test with its own scratch file and registry key.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "base/text.h"
#include "settings/app_settings.h"
#include "settings/default_log_directory.h"
#include "settings/settings_rules.h"
#include "support/file_bytes.h"
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

// Every field as one line of text, for comparing whole records.
std::string Text(const AppSettings& s) {
  return U8(s.operatorName + L"|" + s.organizationName + L"|" + s.certOutputDir + L"|" +
            s.signingKeyFile) +
         FormatPrintf("|%d %d %d %d %d", s.defaultStandard, s.defaultVerify, s.defaultExecMode,
                      s.writeDiskStamp, s.enableLogOutput);
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
    savedHome_ = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    setenv("HOME", dir_.path().c_str(), 1);
#endif
    store_.iniPath = dir_.File("TorevalDiskEraser.ini");
  }
  void TearDown() override {
#ifdef _WIN32
    RegDeleteTreeW(HKEY_CURRENT_USER, registryRoot_.c_str());
#else
    setenv("HOME", savedHome_.c_str(), 1);
#endif
  }
  std::string File() const {
    return testing::ReadTextFile(dir_.path() / "TorevalDiskEraser.ini");
  }
  void WriteFile(const std::string& text) const {
    testing::WriteWholeFile(dir_.path() / "TorevalDiskEraser.ini",
                            std::vector<uint8_t>(text.begin(), text.end()));
  }

  testing::TempDir dir_;
  SettingsStore store_;
  std::wstring registryRoot_;
  std::string savedHome_;
};

TEST_F(SettingsStoreTest, FirstStartGivesTheDefaultsAndEveryFieldRoundTripsInJapanese) {
  EXPECT_EQ(Text(LoadSettingsFrom(store_)),
            "Toreval|Toreval Tools Lab|" + U8(ResolveDefaultLogDirectory()) + "||0 1 0 0 0");
  EXPECT_EQ(File(), "");  // loading writes nothing

  AppSettings saved;
  saved.operatorName = L"山田 太郎";
  saved.organizationName = L"株式会社トレヴァル\r\n[Safety]\r\nDefaultExecMode=1";  // no injection
  saved.certOutputDir = dir_.File("証明書");
  saved.defaultStandard = 7;
  saved.defaultVerify = 2;
  saved.writeDiskStamp = saved.enableLogOutput = 1;
  saved.signingKeyFile = dir_.File("鍵/signing_private_key.pem");
  SaveSettingsTo(store_, saved);
  saved.organizationName = L"株式会社トレヴァル  [Safety]  DefaultExecMode=1";
  EXPECT_EQ(Text(LoadSettingsFrom(store_)), Text(saved));
#ifdef _WIN32
  // A new file starts with the UTF-16LE mark, so the profile functions keep every character.
  EXPECT_EQ(File().substr(0, 2), "\xFF\xFE");
  EXPECT_NE(File().find(std::string("\x71\x5C\x30\x75", 4)), std::string::npos);  // 山田
  // The operator came back from the registry copy, which wins; the real file's place.
  EXPECT_TRUE(U8(GetSettingsFilePath()).ends_with("\\Toreval\\DiskEraser\\TorevalDiskEraser.ini"));
#else
  EXPECT_NE(File().find("OperatorName=山田 太郎\n"), std::string::npos);
#endif
  // Blanks and quotes around a text survive: reading a profile value trims its blanks and drops
  // one pair of quotes, so such values are stored quoted.
  for (const std::wstring text :
       {L"  padded  ", L"\"quoted\"", L"'single'", L" \"both\" ", L"\ttab", L"\"", L"'mixed\"",
        L"\"\"", L"   ", L"inner \"quotes\" stay"}) {
    saved.operatorName = saved.organizationName = saved.certOutputDir = text;
    SaveSettingsTo(store_, saved);
    EXPECT_EQ(Text(LoadSettingsFrom(store_)), Text(saved)) << U8(text);
  }
  // Texts come back cut to 259 characters; a path is not cut into another folder or file, it
  // comes back too long for its users to refuse.
  saved.operatorName = std::wstring(280, L'あ');
  saved.organizationName = saved.certOutputDir = saved.signingKeyFile = std::wstring(300, L'O');
  SaveSettingsTo(store_, saved);
  const AppSettings cut = LoadSettingsFrom(store_);
  EXPECT_EQ(cut.operatorName, std::wstring(259, L'あ'));
  EXPECT_EQ(cut.organizationName, std::wstring(259, L'O'));
  EXPECT_GT(cut.certOutputDir.size(), kSettingsTextMaxChars);
  EXPECT_GT(cut.signingKeyFile.size(), kSettingsTextMaxChars);
}

TEST_F(SettingsStoreTest, HandWrittenAnsiFilesFollowTheLoadRulesAndKeepTheirOtherLines) {
  const std::pair<std::string, std::string> cases[] = {
      // standard/verify/flag as written -> the numbers loaded; out of range gives the default.
      {"9/4/2", "0 1 0 0 0"},     {"-1/-1/-1", "0 1 0 0 0"},
      {"7/3/1", "7 3 1 1 1"},     {"abc/x/yes", "0 0 0 0 0"},
      {" 3 /01/01", "3 1 1 1 1"}, {"2147483648/2147483650/2147483649", "0 1 0 0 0"}};
  for (const auto& [written, loaded] : cases) {
    const size_t a = written.find('/'), b = written.rfind('/');
    const std::string flag = written.substr(b + 1);
    WriteFile("[General]\r\nOperatorName=Legacy\r\n[Sanitization]\r\nDefaultStandard=" +
              written.substr(0, a) + "\r\nDefaultVerify=" + written.substr(a + 1, b - a - 1) +
              "\r\nWriteDiskStamp=" + flag + "\r\nEnableLogOutput=" + flag +
              "\r\n[Safety]\r\nDefaultExecMode=" + flag + "\r\n[Custom]\r\nKeep=this line\r\n");
    EXPECT_EQ(Text(LoadSettingsFrom(store_)),
              "Legacy|Toreval Tools Lab|" + U8(ResolveDefaultLogDirectory()) + "||" + loaded)
        << written;
  }
  AppSettings saved = LoadSettingsFrom(store_);
  saved.organizationName = L"日本語の組織名";
  SaveSettingsTo(store_, saved);
  EXPECT_EQ(U8(LoadSettingsFrom(store_).organizationName), "日本語の組織名");
#ifdef _WIN32
  EXPECT_EQ(File().substr(0, 2), "\xFF\xFE");  // rewritten as UTF-16 to keep the Japanese
  wchar_t keep[64] = {};
  GetPrivateProfileStringW(L"Custom", L"Keep", L"", keep, 64, store_.iniPath.c_str());
  EXPECT_EQ(U8(keep), "this line");
#else
  EXPECT_NE(File().find("[Custom]\nKeep=this line\n"), std::string::npos);
#endif

  // An unwritable place is ignored: nothing is created and the defaults stay.
  store_.iniPath = dir_.File("missing-folder/TorevalDiskEraser.ini");
  SaveSettingsTo(store_, saved);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing-folder"));
  EXPECT_EQ(U8(LoadSettingsFrom(store_).organizationName), "Toreval Tools Lab");
}

TEST_F(SettingsStoreTest, NoFolderIsCreatedForAReaderThatWritesNoFiles) {
  // An empty certificate folder in the file means the default one, which such a reader leaves
  // uncreated.
  SaveSettingsTo(store_, AppSettings{});
  EXPECT_TRUE(LoadSettingsFrom(store_, FolderCreation::None).certOutputDir.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 1);  // the file
  EXPECT_EQ(U8(LoadSettingsFrom(store_).certOutputDir), U8(ResolveDefaultLogDirectory()));
}

#ifndef _WIN32
TEST_F(SettingsStoreTest, UnusableFilesGiveTheDefaultsWithAWarningAndAreNotWrittenOver) {
  // A pipe used to hang the program, a folder to abort it, /dev/zero to fill the memory.
  const std::string ini = U8(store_.iniPath);
  const std::pair<std::function<void()>, std::string> files[] = {
      {[&] { ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0); }, "is not a regular file"},
      {[&] { std::filesystem::create_directory(ini); }, "is not a regular file"},
      {[&] { std::filesystem::create_symlink("/dev/zero", ini); }, "is not a regular file"},
      {[&] { WriteFile(std::string(kMaxSettingsFileBytes + 1, '#')); }, "is larger than 1 MiB"},
  };
  for (const auto& [make, why] : files) {
    std::filesystem::remove_all(ini);
    make();
    std::wstring warning;
    EXPECT_EQ(U8(LoadSettingsFrom(store_, warning).operatorName), "Toreval");
    EXPECT_EQ(U8(warning), "the settings file " + ini + " " + why + "; the defaults are used");
  }
  SaveSettingsTo(store_, AppSettings{});
  EXPECT_EQ(std::filesystem::file_size(ini), kMaxSettingsFileBytes + 1);
}
#endif

// Cutting and line breaks are checked through the store; the registry copy only under Wine.
TEST(SettingsRules, TheRegistryOperatorWinsEvenWhenEmptyAndOnlyTheOperator) {
  StoredSettings s;
  s.organizationName = L"東京リサイクルセンター";
  s.operatorName = L"山田 太郎";
  s.registryOperatorName = L"";
  const AppSettings loaded = ApplyStoredSettings(s, AppSettings{});
  EXPECT_EQ(U8(loaded.operatorName + L"|" + loaded.organizationName), "|東京リサイクルセンター");
}

TEST(SettingsRules, ProfileIntegersAreReadLikeGetPrivateProfileIntW) {
  // clang-format off
  const std::pair<const wchar_t*, uint32_t> cases[] = {
      {L"", 42}, {L"-1", 4294967295u}, {L"7abc", 7}, {L"abc", 0}, {L"0x1F", 31}, {L"0X5", 0},
      {L"0o17", 15}, {L"4294967296", 0}, {L"99999999999", 1215752191u}, {L"  12", 12}};
  // clang-format on
#ifdef _WIN32
  testing::TempDir dir;
  const std::wstring ini = dir.File("numbers.ini");
#endif
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ParseProfileInt(text, 42), expected) << U8(text);
#ifdef _WIN32
    if (*text == 0 || *text == L' ') continue;  // the profile functions keep no blank value
    WritePrivateProfileStringW(L"S", L"K", text, ini.c_str());
    EXPECT_EQ(GetPrivateProfileIntW(L"S", L"K", 42, ini.c_str()), expected) << U8(text);
#endif
  }
}

std::vector<std::string> Folders(const LogDirectoryFacts& facts) {
  std::vector<std::string> out;
  for (const auto& c : DefaultLogDirectoryCandidates(facts))
    out.push_back(WideToUtf8(c.folder) + (c.requiresCreation ? " [create]" : ""));
  return out;
}

LogDirectoryFacts WinPEFacts() {
  LogDirectoryFacts facts;
  facts.isWinPE = true;
  facts.drives = {{L"A:\\", true}, {L"B:\\", true}, {L"C:\\", false}, {L"E:\\", true},
                  {L"x:\\", true}, {L"b:\\", true}, {L"F:\\", true},  {L"G", true}};
  facts.documentsFolder = L"X:\\Users\\Default\\Documents";
  facts.modulePath = L"X:\\Toreval\\TorevalDiskEraser.exe";
  return facts;
}

TEST(DefaultLogDirectory, RemovableDrivesFirstInWinPEThenDocumentsThenTheProgramFolder) {
  // Not floppies, not the RAM disk, not a fixed drive.
  LogDirectoryFacts facts = WinPEFacts();
  EXPECT_EQ(Folders(facts),
            (std::vector<std::string>{
                "E:\\Toreval_Erasure_Logs [create]", "F:\\Toreval_Erasure_Logs [create]",
                "X:\\Users\\Default\\Documents\\Toreval Disk Eraser Certificates",
                "X:\\Toreval\\Certificates"}));
  facts.isWinPE = false;
  facts.documentsFolder.clear();
  EXPECT_EQ(Folders(facts), std::vector<std::string>{"X:\\Toreval\\Certificates"});
  facts.separator = L'/';
  facts.modulePath = L"/opt/toreval/tvde";
  facts.documentsFolder = L"/home/山田/Documents";
  EXPECT_EQ(Folders(facts),
            (std::vector<std::string>{"/home/山田/Documents/Toreval Disk Eraser Certificates",
                                      "/opt/toreval/Certificates"}));
}

TEST(DefaultLogDirectory, AStickThatRefusesIsPassedOverButLaterFoldersAreTakenAnyway) {
  std::vector<std::string> attempts;
  const auto candidates = DefaultLogDirectoryCandidates(WinPEFacts());
  EXPECT_EQ(WideToUtf8(PickDefaultLogDirectory(candidates,
                                               [&](const std::wstring& folder) {
                                                 attempts.push_back(WideToUtf8(folder));
                                                 return folder[0] != L'E';  // E: write-protected
                                               })),
            "F:\\Toreval_Erasure_Logs");
  EXPECT_EQ(attempts.size(), 2u);
  EXPECT_EQ(
      WideToUtf8(PickDefaultLogDirectory(candidates, [](const std::wstring&) { return false; })),
      "X:\\Users\\Default\\Documents\\Toreval Disk Eraser Certificates");
}

}  // namespace
}  // namespace tvde
