// The headless self-test: its job, its checks in order, the command-line switch, and one real
// run under Wine.
#include "app/self_test.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(SelfTest, TheJobIsASimulationOfAProtectedVirtualDisk) {
  const EraseJobConfig config = SelfTestJobConfig(VirtualTestDisk(), L"C:\\out");
  EXPECT_EQ(U8(config.disk.devicePath + L"|" + config.outputFolder),
            "\\\\.\\PhysicalDrive99|C:\\out");
  EXPECT_EQ(config.disk.safetyStatus, SafetyStatus::ProtectedSystemDisk);  // never writable
  EXPECT_EQ(config.executionMode, ExecutionMode::Simulation);              // never a real write
}

TEST(SelfTest, ChecksStopAtTheFirstFailure) {
  ReportData good;
  good.statusCode = kStatusCompleted;
  good.stamp.incomplete = 0;
  good.stamp.hardware.manufacturer = L"Vendor";
  good.stamp.hardware.processor = L"CPU";
  const auto signedWith = [](const wchar_t* signature) {
    return [signature](ReportData& r) {
      r.config.signingKeyFile = L"k.pem", r.signaturePath = signature;
    };
  };
  // clang-format off
  const std::tuple<std::function<void(ReportData&)>, bool, int> cases[] = {
      {[](ReportData&) {}, true, kSelfTestPassed},
      {[](ReportData& r) { r.statusCode = kStatusCancelled; }, true, kSelfTestJobNotCompleted},
      {[](ReportData& r) { r.stamp.incomplete = 1; }, false, kSelfTestStampIncomplete},
      {[](ReportData& r) { r.stamp.hardware = {}; }, false, kSelfTestCertificateMissing},
      {[](ReportData& r) { r.stamp.hardware.processor.clear(); }, true, kSelfTestHardwareMissing},
      {[](ReportData& r) { r.stamp.hardware.manufacturer.clear(); }, true, kSelfTestHardwareMissing},
      {signedWith(L""), true, kSelfTestSignatureMissing},
      {signedWith(L"C:\\out\\X_Signature.json"), true, kSelfTestPassed}};
  // clang-format on
  for (const auto& [spoil, certificates, expected] : cases) {
    ReportData report = good;
    spoil(report);
    EXPECT_EQ(CheckSelfTestJob(report, certificates), expected);
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

// The report files themselves are the job driver's test; the product's own run is
// Product.SelfTestExitsZero.
TEST(SelfTest, RealRunPassesAndLeavesNoScratchFile) {
  ASSERT_EQ(RunSelfTest(), kSelfTestPassed);
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(temp) / kSelfTestScratchFileName));
}

}  // namespace
}  // namespace tvde
