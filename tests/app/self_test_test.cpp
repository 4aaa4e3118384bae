// The headless self-test: its job, its checks in order, the command-line switch, and one real
// run under Wine.
#include "app/self_test.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "settings/default_log_directory.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(SelfTest, VirtualDiskAndJobAreTheDocumentedOnes) {
  const DiskInfo disk = VirtualTestDisk();
  EXPECT_EQ(disk.diskNumber, 99);
  EXPECT_EQ(U8(disk.devicePath), "\\\\.\\PhysicalDrive99");
  EXPECT_EQ(U8(disk.model), "Toreval Virtual Test NVMe SSD");
  EXPECT_EQ(U8(disk.serialNumber), "TV-NVME-0001");
  EXPECT_EQ(disk.sizeBytes, 549755813888ull);
  EXPECT_EQ(disk.bytesPerSector, 512u);
  EXPECT_TRUE(disk.safetyReason.empty());
  EXPECT_EQ(disk.mediaType, MediaKind::NvmeSsd);
  EXPECT_EQ(disk.busType, BusKind::Nvme);
  EXPECT_EQ(disk.safetyStatus, SafetyStatus::ProtectedSystemDisk);
  EXPECT_TRUE(disk.firmwareRevision.empty());
  EXPECT_TRUE(disk.driveLetters.empty());

  const EraseJobConfig config = SelfTestJobConfig(disk, L"C:\\out");
  EXPECT_EQ(config.standard, EraseStandard::NistPurge);
  EXPECT_EQ(config.verifyMode, VerifyMode::Quick);
  EXPECT_EQ(config.executionMode, ExecutionMode::Simulation);  // never a real write
  EXPECT_EQ(config.postEraseState, PostEraseState::WriteStamp);
  EXPECT_EQ(config.logOutputDisabled, 0);
  EXPECT_EQ(U8(config.operatorName), "Toreval Automated Test");
  EXPECT_EQ(U8(config.organizationName), "Toreval QA Suite");
  EXPECT_EQ(U8(config.notes), "NIST SP 800-88 Rev.1 Purge & Stamp Verification Run");
  EXPECT_EQ(U8(config.outputFolder), "C:\\out");
}

TEST(SelfTest, ChecksStopAtTheFirstFailure) {
  ReportData good;
  good.statusCode = kStatusCompleted;
  good.stamp.incomplete = 0;
  good.stamp.hardware.manufacturer = L"Vendor";
  good.stamp.hardware.processor = L"CPU";
  EXPECT_EQ(CheckSelfTestJob(good, true), kSelfTestPassed);

  ReportData allWrong;
  allWrong.statusCode = kStatusCancelled;
  EXPECT_EQ(CheckSelfTestJob(allWrong, false), kSelfTestJobNotCompleted);
  ReportData incomplete = good;
  incomplete.stamp.incomplete = 1;
  EXPECT_EQ(CheckSelfTestJob(incomplete, false), kSelfTestStampIncomplete);
  EXPECT_EQ(CheckSelfTestJob(good, false), kSelfTestCertificateMissing);
  ReportData noHardware = good;
  noHardware.stamp.hardware = {};
  EXPECT_EQ(CheckSelfTestJob(noHardware, false), kSelfTestCertificateMissing);
  ReportData noCpu = good;
  noCpu.stamp.hardware.processor.clear();
  EXPECT_EQ(CheckSelfTestJob(noCpu, true), kSelfTestHardwareMissing);
  ReportData noVendor = good;
  noVendor.stamp.hardware.manufacturer.clear();
  EXPECT_EQ(CheckSelfTestJob(noVendor, true), kSelfTestHardwareMissing);
  ReportData keyConfigured = good;
  keyConfigured.config.signingKeyFile = L"C:\\keys\\signing_private_key.pem";
  EXPECT_EQ(CheckSelfTestJob(keyConfigured, true), kSelfTestSignatureMissing);
  keyConfigured.signaturePath = L"C:\\out\\X_Signature.json";
  EXPECT_EQ(CheckSelfTestJob(keyConfigured, true), kSelfTestPassed);
}

TEST(SelfTest, SwitchIsACaseSensitiveSubstringAnywhere) {
  EXPECT_TRUE(HasSelfTestSwitch(L"--self-test"));
  EXPECT_TRUE(HasSelfTestSwitch(L"/a \"x y\" --self-test --verbose"));
  EXPECT_TRUE(HasSelfTestSwitch(L"x--self-testy"));
  EXPECT_FALSE(HasSelfTestSwitch(L"--SELF-TEST"));
  EXPECT_FALSE(HasSelfTestSwitch(L"--self test"));
  EXPECT_FALSE(HasSelfTestSwitch(L""));
  EXPECT_FALSE(HasSelfTestSwitch(nullptr));
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
