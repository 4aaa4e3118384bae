// The stamp payload from a job result and the job request it carries.
#include "job/stamp_payload_builder.h"

#include "base/product.h"
#include "disk/disk_info.h"
#include "erase/erase_standard.h"
#include "job/erase_job_driver.h"
#include "stamp/stamp_texts.h"

namespace tvde {
namespace {

// The stamp state the job asked for while it is still to come; once the job has ended, what
// became of the disk: a stamp or an all-zero disk only when the job says so.
std::wstring StampStateOf(const ReportData& result) {
  const EraseJobConfig& request = result.config;
  const std::wstring& outcome = result.diskStampStatus;
  if (outcome.empty()) return StampStateLabel(request.postEraseState, request.executionMode);
  if (outcome == kStampActive) return kStampStateActive;
  if (outcome == kStampPureZero || outcome == kStampSimulatedPureZero) return kStampStatePureZero;
  if (outcome == kStampSimulated || outcome == kStampSimulatedUnverified) {
    return kStampStateSimulation;
  }
  return outcome;  // not stamped, stamp write skipped, aborted
}

}  // namespace

StampPayload BuildStampPayload(const ReportData& result, const HardwareProfile& hardware) {
  const EraseJobConfig& request = result.config;
  StampPayload payload;
  payload.incomplete = result.statusCode == kStatusCompleted ? 0 : 1;
  payload.certificateId = result.certificateId;
  payload.sanitizationDate = result.endTime;
  payload.softwareVersion = std::wstring(kProductName) + L" Suite v" + kProductVersion;
  payload.standardName = StandardLabel(request.standard);
  payload.verification = result.verificationResult;
  payload.diskModel = request.disk.model;
  payload.diskSerial = request.disk.serialNumber;
  payload.diskCapacity = FormatSize(request.disk.sizeBytes);
  payload.operatorName = request.operatorName;
  payload.organizationName = request.organizationName;
  payload.sha256Fingerprint = result.sha256Fingerprint;
  payload.stampState = StampStateOf(result);
  payload.passesCompleted = result.passesCompleted;
  payload.hardware = hardware;
  payload.trimNotice = result.trimNotice;
  return payload;
}

}  // namespace tvde
