// What the program does as it starts: the Japanese UI font (private font files, the faces of the
// screen, with or without a screen device context) and the headless self-test.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "app/self_test.h"
#include "app/ui_fonts.h"
#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

TEST(UiFonts, PrivateFontFilesAndTheFirstAvailableShiftJisFaceIsChosen) {
  EXPECT_FALSE(AddPrivateFontFile(L"C:\\no such folder\\msgothic.ttc"));
  EXPECT_TRUE(
      AddPrivateFontFile(L"Z:\\usr\\share\\fonts\\opentype\\noto\\NotoSansCJK-Regular.ttc"));

  // The answers are the constants themselves, never copies that could dangle.
  const auto only = [](std::vector<std::wstring> faces) {
    return
        [faces](const wchar_t* face) { return std::count(faces.begin(), faces.end(), face) != 0; };
  };
  EXPECT_EQ(ChooseUiFontFaceFrom(only({L"MS Gothic", L"Meiryo UI"})), kUiFacePreference[1]);
  EXPECT_EQ(ChooseUiFontFaceFrom(only({L"Arial"})), kUiFaceFallback);
  EXPECT_EQ(U8(kUiFaceFallback), "MS UI Gothic");

  // Available faces are the Shift-JIS faces of the screen.
  EXPECT_FALSE(IsFontFamilyAvailable(L"Toreval No Such Face"));
  EXPECT_FALSE(IsFontFamilyAvailable(nullptr));
  // The test prefix maps the Japanese UI faces to Noto Sans CJK JP; DejaVu Sans exists on the
  // host but has no Shift-JIS character set.
  EXPECT_TRUE(IsFontFamilyAvailable(L"MS Gothic"));
  EXPECT_FALSE(IsFontFamilyAvailable(L"DejaVu Sans"));
  EXPECT_EQ(U8(ChooseUiFontFace()), "Yu Gothic UI");
}

TEST(SelfTest, ChecksStopAtTheFirstFailure) {
  ReportData good;
  good.statusCode = kStatusCompleted;
  good.stamp.incomplete = 0;
  good.stamp.hardware.manufacturer = L"Vendor";
  good.stamp.hardware.processor = L"CPU";
  // clang-format off
  const std::tuple<std::function<void(ReportData&)>, bool, int> cases[] = {
      {[](ReportData&) {}, true, kSelfTestPassed},
      {[](ReportData& r) { r.statusCode = kStatusCancelled; }, true, kSelfTestJobNotCompleted},
      {[](ReportData& r) { r.stamp.incomplete = 1; }, false, kSelfTestStampIncomplete},
      {[](ReportData& r) { r.stamp.hardware = {}; }, false, kSelfTestCertificateMissing},
      {[](ReportData& r) { r.stamp.hardware.processor.clear(); }, true, kSelfTestHardwareMissing},
      {[](ReportData& r) { r.stamp.hardware.manufacturer.clear(); }, true, kSelfTestHardwareMissing},
      {[](ReportData& r) { r.config.signingKeyFile = L"k.pem"; }, true, kSelfTestSignatureMissing},
      {[](ReportData& r) { r.config.signingKeyFile = L"k.pem"; r.signaturePath = L"s.json"; }, true, kSelfTestPassed}};
  // clang-format on
  for (const auto& [spoil, certificates, expected] : cases) {
    ReportData report = good;
    spoil(report);
    EXPECT_EQ(CheckSelfTestJob(report, certificates), expected);
  }
}

// The switch is a case-sensitive substring anywhere. The report files themselves are the job
// driver's test; the product's own run is Product.SelfTestExitsZero.
TEST(SelfTest, SwitchAndARealRunOfASimulationOnAProtectedVirtualDisk) {
  // clang-format off
  for (const auto& [line, found] : {std::pair<const wchar_t*, bool>{L"/a \"x y\" --self-test --verbose", true},
       {L"x--self-testy", true}, {L"--SELF-TEST", false}, {L"--self test", false}, {nullptr, false}})
    EXPECT_EQ(HasSelfTestSwitch(line), found) << U8(line ? line : L"");
  // clang-format on
  const EraseJobConfig config = SelfTestJobConfig(VirtualTestDisk(), L"C:\\out");
  EXPECT_EQ(U8(config.disk.devicePath + L"|" + config.outputFolder),
            "\\\\.\\PhysicalDrive99|C:\\out");
  EXPECT_EQ(config.disk.safetyStatus, SafetyStatus::ProtectedSystemDisk);  // never writable
  EXPECT_EQ(config.executionMode, ExecutionMode::Simulation);              // never a real write
  ASSERT_EQ(RunSelfTest(), kSelfTestPassed);
  wchar_t temp[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(temp) / kSelfTestScratchFileName));
}

}  // namespace
}  // namespace tvde
