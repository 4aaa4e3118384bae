#pragma once
// The report content a disk stamp carries: what the boot screens show, what REPORT.TXT holds
// and what stamp detection reads back from a disk.

#include <cstdint>
#include <string>

#include "hardware/hardware_profile.h"

namespace tvde {

// Whether the boot screens may call the disk erased: only the job that erased the disk, writing
// its stamp onto it, makes that claim. A stamp the operator writes (from a report, a file or one
// read from another disk) claims nothing.
enum class StampClaim : int32_t { None, ErasureOfThisDisk };

struct StampPayload {
  int32_t incomplete = 1;  // 0: a completed and verified job, or read back from a disk
  std::wstring certificateId;
  std::wstring sanitizationDate;  // YYYY-MM-DD HH:MM:SS
  std::wstring softwareVersion;
  std::wstring standardName;
  std::wstring verification;
  std::wstring diskModel;
  std::wstring diskSerial;
  std::wstring diskCapacity;
  std::wstring operatorName;
  std::wstring organizationName;
  std::wstring sha256Fingerprint;
  std::wstring stampState;
  int32_t passesCompleted = 0;
  HardwareProfile hardware;
  StampClaim claim = StampClaim::None;  // never stored in the record, never read back
  // The job's TRIM outcome when it sent a TRIM notice, shown on the boot screens beside a
  // standard that promises one; like the claim, never stored in the record.
  std::wstring trimNotice;
};

}  // namespace tvde
