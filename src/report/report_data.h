#pragma once
// The one record from which every report, the stamp payload and the report dialog are made.

#include <cstdint>
#include <string>

#include "erase/erase_job.h"
#include "erase/firmware_step.h"
#include "stamp/stamp_payload.h"

namespace tvde {

struct ReportData {
  std::wstring certificateId;
  std::wstring startTime;
  std::wstring endTime;
  double elapsedSeconds = 0.0;
  int32_t isWinPE = 0;
  // The system the job ran on when it is no Windows workstation ("Linux 6.1.0-28-amd64",
  // "Microsoft Windows Server 2022 Standard"); empty on a workstation and in WinPE.
  std::wstring hostSystem;
  EraseJobConfig config;
  int32_t statusCode = 0;  // 3 completed, 4 cancelled, anything else failed
  int32_t passesCompleted = 0;
  int32_t passesPlanned = 0;
  uint64_t bytesWritten = 0;
  std::wstring verificationResult;
  std::wstring diskStampStatus;
  // What a real verification read back and what it compared with (VerificationScopeText);
  // empty when nothing was read back. The reports carry it only when set.
  std::wstring verificationScope;
  // What became of the whole-disk TRIM notice of a real job (kTrimAccepted or kTrimRefused);
  // empty when none was sent. The audit log and the JSON report carry it only when set.
  std::wstring trimNotice;
  // The drive's own erase and the hidden area of a real job: what was sent, what the drive
  // answered and what it reached. Each line is reported only when set.
  FirmwareReport firmware;
  std::wstring errorMessage;
  std::wstring sha256Fingerprint;
  std::wstring htmlPath;
  std::wstring txtPath;
  std::wstring jsonPath;
  std::wstring signaturePath;   // the signature file last written; empty when none
  std::wstring signatureError;  // why a signature that was asked for is missing; else empty
  StampPayload stamp;           // its hardware member is the profile every report prints
};

}  // namespace tvde
