#pragma once
// The headless self-test started by "--self-test": one simulated erase job with certificates,
// then the stamp image written into a scratch file. The exit code names the first failed check.

#include <cstdint>
#include <string>

#include "disk/disk_info.h"
#include "erase/erase_job.h"
#include "report/report_data.h"

namespace tvde {

inline constexpr int32_t kSelfTestPassed = 0;
inline constexpr int32_t kSelfTestJobNotCompleted = 1;
inline constexpr int32_t kSelfTestStampIncomplete = 2;
inline constexpr int32_t kSelfTestCertificateMissing = 3;
inline constexpr int32_t kSelfTestHardwareMissing = 4;
inline constexpr int32_t kSelfTestStampWriteFailed = 5;
// A signing key is configured (SigningKeyFile) but the reports could not be signed with it.
inline constexpr int32_t kSelfTestSignatureMissing = 6;

inline constexpr const wchar_t* kSelfTestScratchFileName = L"tvde_stamp_selftest.bin";

// Used when enumeration finds no disk (always the case under Wine).
DiskInfo VirtualTestDisk();

// The simulated test job for `disk`, writing its certificates into `outputFolder`.
EraseJobConfig SelfTestJobConfig(const DiskInfo& disk, const std::wstring& outputFolder);

// The checks on the job's outcome, in order (the signature last); kSelfTestPassed when all
// hold.
int32_t CheckSelfTestJob(const ReportData& result, bool certificateExists);

int32_t RunSelfTest();

// The entry's dispatch rule: a plain, case-sensitive substring anywhere in the command line.
bool HasSelfTestSwitch(const wchar_t* commandLine);

}  // namespace tvde
