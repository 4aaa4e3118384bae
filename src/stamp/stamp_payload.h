#pragma once
// The report content a disk stamp carries: what the boot screens show, what REPORT.TXT holds
// and what stamp detection reads back from a disk.

#include <cstdint>
#include <string>

#include "hardware/hardware_profile.h"

namespace tvde {

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
};

}  // namespace tvde
