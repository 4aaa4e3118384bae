// The headless self-test: its job, its checks in order, the command-line switch, and one real
// run under Wine.
#include "app/self_test.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "settings/default_log_directory.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(SelfTest, TheJobIsASimulationOfAProtectedVirtualDisk) {
  const EraseJobConfig config = SelfTestJobConfig(VirtualTestDisk(), L"C:\\out");
  EXPECT_EQ(U8(config.disk.devicePath + L"|" + config.disk.model + L"|" + config.outputFolder),
            "\\\\.\\PhysicalDrive99|Toreval Virtual Test NVMe SSD|C:\\out");
  EXPECT_EQ(config.disk.safetyStatus, SafetyStatus::ProtectedSystemDisk);  // never writable
  EXPECT_EQ(config.executionMode, ExecutionMode::Simulation);              // never a real write
  EXPECT_EQ(config.postEraseState, PostEraseState::WriteStamp);
}

TEST(SelfTest, ChecksStopAtTheFirstFailure) {
  ReportData good;
  good.statusCode = kStatusCompleted;
  good.stamp.incomplete = 0;
  good.stamp.hardware.manufacturer = L"Vendor";
  good.stamp.hardware.processor = L"CPU";
  struct Case {
    std::function<void(ReportData&)> spoil;
    bool certificates;
    int expected;
  };
  for (const Case& c : std::vector<Case>{
           {[](ReportData&) {}, true, kSelfTestPassed},
           {[](ReportData& r) { r.statusCode = kStatusCancelled; }, true, kSelfTestJobNotCompleted},
           {[](ReportData& r) { r.stamp.incomplete = 1; }, false, kSelfTestStampIncomplete},
           {[](ReportData&) {}, false, kSelfTestCertificateMissing},
           {[](ReportData& r) { r.stamp.hardware = {}; }, false, kSelfTestCertificateMissing},
           {[](ReportData& r) { r.stamp.hardware.processor.clear(); }, true,
            kSelfTestHardwareMissing},
           {[](ReportData& r) { r.stamp.hardware.manufacturer.clear(); }, true,
            kSelfTestHardwareMissing},
           {[](ReportData& r) { r.config.signingKeyFile = L"k.pem"; }, true,
            kSelfTestSignatureMissing},
           {[](ReportData& r) {
              r.config.signingKeyFile = L"k.pem";
              r.signaturePath = L"C:\\out\\X_Signature.json";
            },
            true, kSelfTestPassed}}) {
    ReportData report = good;
    c.spoil(report);
    EXPECT_EQ(CheckSelfTestJob(report, c.certificates), c.expected);
  }
}

TEST(SelfTest, SwitchIsACaseSensitiveSubstringAnywhere) {
  for (const wchar_t* line :
       {L"--self-test", L"/a \"x y\" --self-test --verbose", L"x--self-testy"})
    EXPECT_TRUE(HasSelfTestSwitch(line)) << U8(line);
  for (const wchar_t* line :
       {L"--SELF-TEST", L"--self test", L"", static_cast<const wchar_t*>(nullptr)})
    EXPECT_FALSE(HasSelfTestSwitch(line));
}

std::set<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
  std::set<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    files.insert(entry.path());
  }
  return files;
}

TEST(SelfTest, RealRunLeavesThreeCertificateFilesAndNoScratchFile) {
  const std::filesystem::path folder(ResolveDefaultLogDirectory());
  const auto before = FilesIn(folder);

  ASSERT_EQ(RunSelfTest(), kSelfTestPassed);

  // Other runs (the product's own self-test test) may write into the same folder at the same
  // time, so every new certificate ID must come with exactly its three files.
  std::map<std::string, std::set<std::string>> byId;
  for (const auto& path : FilesIn(folder)) {
    if (before.contains(path)) continue;
    const std::string name = path.filename().string();
    byId[name.substr(0, 29)].insert(name.substr(29));
  }
  ASSERT_FALSE(byId.empty());
  for (const auto& [id, suffixes] : byId) {
    EXPECT_EQ(suffixes,
              (std::set<std::string>{"_AuditLog.txt", "_Certificate.html", "_Report.json"}))
        << id;
  }

  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(temp) / kSelfTestScratchFileName));
}

}  // namespace
}  // namespace tvde
