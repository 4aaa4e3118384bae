// The headless self-test: enumeration, the job driver, certificate output with the hardware
// profile, and the stamp image builder, proven together on this machine.
#include "app/self_test.h"

#include <windows.h>

#include <cwchar>

#include "base/device.h"
#include "base/startup_environment.h"
#include "disk/disk_enumeration.h"
#include "job/erase_job_driver.h"
#include "settings/app_settings.h"
#include "settings/default_log_directory.h"
#include "stamp/stamp_writer.h"

namespace tvde {

DiskInfo VirtualTestDisk() {
  DiskInfo disk;
  disk.diskNumber = 99;
  disk.devicePath = L"\\\\.\\PhysicalDrive99";
  disk.model = L"Toreval Virtual Test NVMe SSD";
  disk.serialNumber = L"TV-NVME-0001";
  disk.sizeBytes = 549755813888ull;  // 512 GiB
  disk.bytesPerSector = 512;
  disk.mediaType = MediaKind::NvmeSsd;
  disk.busType = BusKind::Nvme;
  return disk;  // safety status stays the default: it plays no part in a simulation
}

EraseJobConfig SelfTestJobConfig(const DiskInfo& disk, const std::wstring& outputFolder) {
  EraseJobConfig config;
  config.disk = disk;
  config.standard = EraseStandard::NistPurge;
  config.verifyMode = VerifyMode::Quick;
  config.executionMode = ExecutionMode::Simulation;
  config.postEraseState = PostEraseState::WriteStamp;
  config.logOutputDisabled = 0;
  config.operatorName = L"Toreval Automated Test";
  config.organizationName = L"Toreval QA Suite";
  config.notes = L"NIST SP 800-88 Rev.1 Purge & Stamp Verification Run";
  config.outputFolder = outputFolder;
  return config;
}

int32_t CheckSelfTestJob(const ReportData& result, bool certificateExists) {
  if (result.statusCode != kStatusCompleted) return kSelfTestJobNotCompleted;
  if (result.stamp.incomplete != 0) return kSelfTestStampIncomplete;
  if (!certificateExists) return kSelfTestCertificateMissing;
  if (result.stamp.hardware.manufacturer.empty() || result.stamp.hardware.processor.empty()) {
    return kSelfTestHardwareMissing;
  }
  if (!result.config.signingKeyFile.empty() && result.signaturePath.empty()) {
    return kSelfTestSignatureMissing;
  }
  return kSelfTestPassed;
}

int32_t RunSelfTest() {
  const bool isWinPE = IsWinPEEnvironment();
  const std::vector<DiskInfo> disks = EnumeratePhysicalDisks(isWinPE ? 1 : 0, 0);
  const DiskInfo disk = disks.empty() ? VirtualTestDisk() : disks.front();

  // A simulation: the disk is only read from its record, never opened. The reports are signed
  // as every report set of this machine is, when a signing key is configured.
  EraseJobConfig config = SelfTestJobConfig(disk, ResolveDefaultLogDirectory());
  config.signingKeyFile = LoadSettings(FolderCreation::None).signingKeyFile;
  CancelFlag cancel{0};
  const ReportData result = RunEraseJob(config, isWinPE ? 1 : 0, cancel, {}, {});

  const bool certificateExists =
      GetFileAttributesW(result.htmlPath.c_str()) != INVALID_FILE_ATTRIBUTES;
  const int32_t verdict = CheckSelfTestJob(result, certificateExists);
  if (verdict != kSelfTestPassed) return verdict;

  wchar_t tempPath[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, tempPath);
  if (length == 0 || length > MAX_PATH) return kSelfTestPassed;  // no scratch file possible
  const std::wstring scratch = std::wstring(tempPath, length) + kSelfTestScratchFileName;

  DeviceOpenOptions options;
  options.access = DeviceAccess::ReadWrite;
  options.creation = DeviceCreation::CreateAlways;
  options.buffering = DeviceBuffering::Buffered;
  options.sectorSize = 512;
  DeviceOpenResult file = OpenDevice(scratch, options);
  if (file.device == nullptr) return kSelfTestPassed;  // the stamp image check is skipped
  const bool written = WriteStampImage(*file.device, 512, result.stamp, {});
  file.device.reset();
  DeleteFileW(scratch.c_str());
  return written ? kSelfTestPassed : kSelfTestStampWriteFailed;
}

bool HasSelfTestSwitch(const wchar_t* commandLine) {
  return commandLine != nullptr && std::wcsstr(commandLine, L"--self-test") != nullptr;
}

}  // namespace tvde
