// The stamp payload of a finished job, field by field from the job result and its request.
#include "job/stamp_payload_builder.h"

#include <gtest/gtest.h>

#include "support/text_matchers.h"

namespace tvde {
namespace {

using testing::U8;

ReportData FinishedJob() {
  ReportData result;
  result.certificateId = L"TVDE-20261023-0007";
  result.startTime = L"2026-10-23 10:00:00";
  result.endTime = L"2026-10-23 11:30:15";
  result.statusCode = kStatusCompleted;
  result.passesCompleted = 3;
  result.verificationResult = L"PASSED (All Sampled Sectors Verified Clean)";
  result.sha256Fingerprint = L"0123abcd";
  result.config.standard = EraseStandard::Dod522022M;
  result.config.executionMode = ExecutionMode::RealWrite;
  result.config.postEraseState = PostEraseState::WriteStamp;
  result.config.operatorName = L"佐藤";
  result.config.organizationName = L"Org";
  result.config.disk.model = L"Disk Model";
  result.config.disk.serialNumber = L"SN-1";
  result.config.disk.sizeBytes = 512ull * 1024 * 1024 * 1024;
  result.stamp.certificateId = L"must not be used";
  return result;
}

TEST(BuildStampPayload, TakesEveryFieldFromTheResultAndItsRequest) {
  HardwareProfile hardware;
  hardware.model = L"Collected Model";
  const StampPayload p = BuildStampPayload(FinishedJob(), hardware);
  EXPECT_EQ(p.incomplete, 0);
  EXPECT_EQ(p.certificateId, L"TVDE-20261023-0007");
  EXPECT_EQ(p.sanitizationDate, L"2026-10-23 11:30:15");
  EXPECT_EQ(U8(p.softwareVersion), "Toreval Disk Eraser Suite v1.3.0");
  EXPECT_EQ(U8(p.standardName), "DoD 5220.22-M (3 Passes - 米国国防総省標準)");
  EXPECT_EQ(p.verification, L"PASSED (All Sampled Sectors Verified Clean)");
  EXPECT_EQ(p.diskModel, L"Disk Model");
  EXPECT_EQ(p.diskSerial, L"SN-1");
  EXPECT_EQ(p.diskCapacity, L"512.00 GB");
  EXPECT_EQ(U8(p.operatorName), "佐藤");
  EXPECT_EQ(p.organizationName, L"Org");
  EXPECT_EQ(p.sha256Fingerprint, L"0123abcd");
  EXPECT_EQ(U8(p.stampState), "Bootable Report Stamp Active (UEFI GOP & BIOS/CSM MBR)");
  EXPECT_EQ(p.passesCompleted, 3);
  EXPECT_EQ(p.hardware.model, L"Collected Model");
}

TEST(BuildStampPayload, OnlyACompletedJobGivesACompletePayload) {
  for (int32_t status : {kStatusCancelled, kStatusFailed, 0}) {
    ReportData result = FinishedJob();
    result.statusCode = status;
    EXPECT_EQ(BuildStampPayload(result, {}).incomplete, 1) << status;
  }
}

TEST(BuildStampPayload, StateFollowsPostEraseStateAndMode) {
  ReportData result = FinishedJob();
  result.config.postEraseState = PostEraseState::PureZero;
  EXPECT_EQ(U8(BuildStampPayload(result, {}).stampState),
            "Pure Zero Wiped (スタンプなし・全セクタ完全未初期化状態)");
  result.config.postEraseState = PostEraseState::WriteStamp;
  result.config.executionMode = ExecutionMode::Simulation;
  EXPECT_EQ(U8(BuildStampPayload(result, {}).stampState), "Simulation / Dry-Run Report Stamp");
}

}  // namespace
}  // namespace tvde

namespace tvde {
namespace {

TEST(BuildStampPayload, CollectsTheRunningMachinesProfileWhenNoneIsGiven) {
  const ReportData result = FinishedJob();
  const StampPayload p = BuildStampPayload(result);
  const HardwareProfile collected = CollectHardwareProfile(result.config.disk);
  EXPECT_FALSE(p.hardware.processor.empty());
  EXPECT_EQ(p.hardware.processor, collected.processor);
  EXPECT_EQ(p.hardware.disk, collected.disk);
  EXPECT_EQ(p.certificateId, L"TVDE-20261023-0007");
}

}  // namespace
}  // namespace tvde
