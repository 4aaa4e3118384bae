#pragma once
// Runs one erasure from the safety guard to the certificate files and returns its record.

#include <functional>
#include <string>

#include "base/device.h"
#include "base/log_callback.h"
#include "disk/disk_reidentify.h"
#include "erase/erase_job.h"
#include "erase/pass_data.h"
#include "erase/volume_lock.h"
#include "firmware/firmware_transport.h"
#include "firmware/sanitize_run.h"
#include "report/report_data.h"

namespace tvde {

// Stop texts of verificationResult and stamp texts of diskStampStatus.
inline constexpr const wchar_t* kVerdictBlocked = L"BLOCKED BY SAFETY GUARD";
inline constexpr const wchar_t* kVerdictOpenFailed = L"OPEN HANDLE FAILED";
inline constexpr const wchar_t* kVerdictAborted = L"ABORTED";
inline constexpr const wchar_t* kVerdictCancelledByUser = L"CANCELLED BY USER";
inline constexpr const wchar_t* kVerdictWriteError = L"WRITE ERROR";
// The device's size changed during the passes: nothing is certified.
inline constexpr const wchar_t* kVerdictSizeChanged = L"DEVICE SIZE CHANGED";
// The certificate folder could not be made or written: the job did not start.
inline constexpr const wchar_t* kVerdictReportFolderUnwritable = L"REPORT FOLDER NOT WRITABLE";
inline constexpr const wchar_t* kStampNotStamped = L"NOT STAMPED";
inline constexpr const wchar_t* kStampAborted = L"ABORTED";
inline constexpr const wchar_t* kStampSimulated =
    L"STAMPED (Simulation Verified - Bootable Report Stamp & Hardware Profile Ready)";
// A simulation told not to verify.
inline constexpr const wchar_t* kStampSimulatedUnverified =
    L"STAMPED (Simulation Unverified - Bootable Report Stamp & Hardware Profile Ready)";
inline constexpr const wchar_t* kStampSimulatedPureZero =
    L"PURE ZERO WIPED (スタンプなし・完全未初期化状態)";
inline constexpr const wchar_t* kStampActive =
    L"BOOTABLE REPORT STAMP ACTIVE (BIOS/CSM & UEFI GOP Hybrid Stamp Engraved)";
inline constexpr const wchar_t* kStampWriteSkipped = L"STAMP WRITE SKIPPED";
inline constexpr const wchar_t* kStampPureZero =
    L"PURE ZERO WIPED (スタンプなし・全セクタ 0x00 完全未初期化状態)";

// What the job does to the outside world, replaceable so tests can put a faulty device or a
// fake volume set underneath a complete job.
struct EraseJobEnvironment {
  std::function<DeviceOpenResult(const std::wstring& path, const DeviceOpenOptions& options)>
      openDevice;
  // Whether the listed disk still answers as listed (CheckListedDisk); asked before any of its
  // volumes is taken away.
  std::function<DiskIdentityCheck(const DiskInfo& saved)> checkListedDisk;
  std::function<VolumeLockList(const DiskInfo& disk, const LogCallback& log)> lockVolumes;
  // Whether the disk just opened is still the listed one (CheckOpenedDisk); asked after the
  // volumes are locked and before the first write.
  std::function<DiskIdentityCheck(const DiskInfo& saved, Device& opened)> checkOpenedDisk;
  // Makes the certificate folder and proves it writable before anything is erased; sets the
  // folder it checked. Not called when report output is disabled.
  std::function<bool(const EraseJobConfig& config, std::wstring& folder)> prepareReportFolder;
  std::function<bool(ReportData& report)> saveReports;
  // The drive's pass-through commands through the disk just opened, and the clock its firmware
  // erase is followed with.
  std::function<std::unique_ptr<FirmwareTransport>(Device& opened, const DiskInfo& disk,
                                                   int32_t isWinPE)>
      openFirmware;
  SanitizeClock firmwareClock;
  // Draws the secret key and nonce of the job's random passes (the OS generator).
  RandomPassSecret::Draw drawRandomSecret;
};

EraseJobEnvironment DefaultEraseJobEnvironment();

// worker thread: runs the whole job on the calling thread; both callbacks are called on it.
// bytesWritten counts what the overwrite passes actually wrote (0 in a simulation); texts
// claim an all-zero disk only when the last pass wrote zeros and verification did not fail.
ReportData RunEraseJob(const EraseJobConfig& config, int32_t isWinPE, const CancelFlag& cancel,
                       const ProgressCallback& progress, const LogCallback& log);

ReportData RunEraseJob(const EraseJobEnvironment& environment, const EraseJobConfig& config,
                       int32_t isWinPE, const CancelFlag& cancel, const ProgressCallback& progress,
                       const LogCallback& log);

}  // namespace tvde
