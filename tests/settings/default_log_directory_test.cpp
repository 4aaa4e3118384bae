// The default certificate folder: candidate order, the WinPE drive rules and the real lookup.
#include "settings/default_log_directory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/temp_dir.h"
#include "support/text_matchers.h"

#ifdef _WIN32
#include <windows.h>
// shlobj.h needs the types of windows.h.
#include <shlobj.h>
#endif

namespace tvde {
namespace {

using testing::U8;

std::vector<std::string> Folders(const std::vector<LogDirectoryCandidate>& candidates) {
  std::vector<std::string> out;
  for (const auto& c : candidates)
    out.push_back(U8(c.folder) + (c.requiresCreation ? " [must create]" : ""));
  return out;
}

LogDirectoryFacts WinPEFacts() {
  LogDirectoryFacts facts;
  facts.isWinPE = true;
  facts.drives = {{L"A:\\", true}, {L"B:\\", true}, {L"C:\\", false}, {L"D:\\", false},
                  {L"E:\\", true}, {L"x:\\", true}, {L"X:\\", true},  {L"b:\\", true},
                  {L"F:\\", true}, {L"G", true}};
  facts.documentsFolder = L"X:\\Users\\Default\\Documents";
  facts.modulePath = L"X:\\Toreval\\TorevalDiskEraser.exe";
  return facts;
}

TEST(DefaultLogDirectory, WinPEOffersRemovableDrivesExceptFloppiesAndTheRamDisk) {
  EXPECT_EQ(Folders(DefaultLogDirectoryCandidates(WinPEFacts())),
            (std::vector<std::string>{
                "E:\\Toreval_Erasure_Logs [must create]",
                "F:\\Toreval_Erasure_Logs [must create]",
                "X:\\Users\\Default\\Documents\\Toreval Disk Eraser Certificates",
                "X:\\Toreval\\Certificates",
            }));
}

TEST(DefaultLogDirectory, OutsideWinPERemovableDrivesAreIgnored) {
  LogDirectoryFacts facts = WinPEFacts();
  facts.isWinPE = false;
  facts.documentsFolder = L"C:\\Users\\山田\\Documents";
  EXPECT_EQ(Folders(DefaultLogDirectoryCandidates(facts)),
            (std::vector<std::string>{
                "C:\\Users\\山田\\Documents\\Toreval Disk Eraser Certificates",
                "X:\\Toreval\\Certificates",
            }));
}

TEST(DefaultLogDirectory, WithoutDocumentsTheProgramFolderIsUsed) {
  LogDirectoryFacts facts;
  facts.modulePath = L"D:\\Tools\\Eraser\\TorevalDiskEraser.exe";
  EXPECT_EQ(Folders(DefaultLogDirectoryCandidates(facts)),
            (std::vector<std::string>{"D:\\Tools\\Eraser\\Certificates"}));
  facts.modulePath = L"TorevalDiskEraser.exe";
  EXPECT_EQ(Folders(DefaultLogDirectoryCandidates(facts)),
            (std::vector<std::string>{".\\Certificates"}));
  facts.modulePath.clear();
  EXPECT_EQ(Folders(DefaultLogDirectoryCandidates(facts)),
            (std::vector<std::string>{".\\Certificates"}));
  facts.separator = L'/';
  facts.modulePath = L"/opt/toreval/tvde";
  facts.documentsFolder = L"/home/op/Documents";
  EXPECT_EQ(Folders(DefaultLogDirectoryCandidates(facts)),
            (std::vector<std::string>{"/home/op/Documents/Toreval Disk Eraser Certificates",
                                      "/opt/toreval/Certificates"}));
}

TEST(DefaultLogDirectory, AWriteProtectedStickIsPassedOverForTheNextOne) {
  std::vector<std::string> attempts;
  const auto pick = PickDefaultLogDirectory(
      DefaultLogDirectoryCandidates(WinPEFacts()), [&](const std::wstring& folder) {
        attempts.push_back(U8(folder));
        return folder[0] != L'E';  // E: refuses, F: accepts (created or already there)
      });
  EXPECT_EQ(U8(pick), "F:\\Toreval_Erasure_Logs");
  EXPECT_EQ(attempts,
            (std::vector<std::string>{"E:\\Toreval_Erasure_Logs", "F:\\Toreval_Erasure_Logs"}));
}

TEST(DefaultLogDirectory, LaterCandidatesAreTakenEvenWhenTheirCreationFails) {
  std::vector<std::string> attempts;
  const auto pick = PickDefaultLogDirectory(DefaultLogDirectoryCandidates(WinPEFacts()),
                                            [&](const std::wstring& folder) {
                                              attempts.push_back(U8(folder));
                                              return false;
                                            });
  EXPECT_EQ(U8(pick), "X:\\Users\\Default\\Documents\\Toreval Disk Eraser Certificates");
  EXPECT_EQ(attempts.size(), 3u);
  LogDirectoryFacts noDocuments = WinPEFacts();
  noDocuments.documentsFolder.clear();
  EXPECT_EQ(U8(PickDefaultLogDirectory(DefaultLogDirectoryCandidates(noDocuments),
                                       [](const std::wstring&) { return false; })),
            "X:\\Toreval\\Certificates");
}

#ifdef _WIN32
TEST(DefaultLogDirectory, ResolvesToTheUsersDocumentsAndCreatesTheFolder) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\MiniNT", 0, KEY_READ,
                    &key) == ERROR_SUCCESS) {
    RegCloseKey(key);
    GTEST_SKIP() << "this system is a WinPE (MiniNT key present)";
  }
  wchar_t documents[MAX_PATH] = {};
  ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents),
            S_OK);
  const std::wstring expected = std::wstring(documents) + L"\\Toreval Disk Eraser Certificates";
  const std::wstring folder = ResolveDefaultLogDirectory();
  EXPECT_EQ(U8(folder), U8(expected));
  const DWORD attributes = GetFileAttributesW(folder.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  // A second call finds the folder already there and answers the same.
  EXPECT_EQ(U8(ResolveDefaultLogDirectory()), U8(expected));
}
#else
class ScopedHome {
 public:
  explicit ScopedHome(const std::string& value) {
    const char* old = std::getenv("HOME");
    if (old != nullptr) saved_ = old;
    hadHome_ = old != nullptr;
    setenv("HOME", value.c_str(), 1);
  }
  ~ScopedHome() {
    if (hadHome_)
      setenv("HOME", saved_.c_str(), 1);
    else
      unsetenv("HOME");
  }

 private:
  std::string saved_;
  bool hadHome_ = false;
};

TEST(DefaultLogDirectory, ResolvesUnderTheHomeDocumentsFolderAndCreatesIt) {
  testing::TempDir home;
  ScopedHome scoped(home.path().string());
  const auto expected = home.path() / "Documents" / "Toreval Disk Eraser Certificates";
  const std::wstring folder = ResolveDefaultLogDirectory();
  EXPECT_EQ(U8(folder), expected.string());
  EXPECT_TRUE(std::filesystem::is_directory(expected));
  EXPECT_EQ(U8(ResolveDefaultLogDirectory()), expected.string());
}
#endif

}  // namespace
}  // namespace tvde
