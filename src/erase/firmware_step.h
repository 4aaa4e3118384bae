#pragma once
// The firmware side of a real erasure, before the overwrite passes: the hidden area of an ATA
// disk (opened for this job, or the job refused), and the firmware sanitize, whose claim is
// checked by reading back sectors written just before it. Everything the drive was told and
// answered is kept for the reports.

#include <cstdint>
#include <string>

#include "base/device.h"
#include "base/log_callback.h"
#include "erase/erase_job.h"
#include "firmware/firmware_capabilities.h"
#include "firmware/sanitize_run.h"

namespace tvde {

// The report lines of the firmware step; each is printed only when set.
struct FirmwareReport {
  std::wstring sanitize;      // the method and its outcome, or why there was none
  std::wstring command;       // the command as sent
  std::wstring completion;    // the drive's raw completion of it
  std::wstring statusLog;     // the last sanitize status read back
  double elapsedSeconds = 0;  // printed with `command`
  std::wstring check;         // the read-back of the sectors written before the command
  std::wstring hiddenArea;    // HPA / AMA / DCO facts and what the job did about them
  std::wstring nistCategory;  // the NIST SP 800-88 category the media reached
};

// What the firmware step leaves to the job.
struct FirmwareStepOutcome {
  bool purge = false;   // a purge-class erase the drive completed and the read-back confirmed
  std::wstring method;  // its name
  bool stop = false;    // the drive reported failure, or its end could not be confirmed
  std::wstring stopVerdict;
};

// Closes the hidden-area text of a disk whose DCO restriction keeps sectors from every write.
inline constexpr const wchar_t* kDcoNotErasedNote =
    L" (above the native max address: NOT erased, the job cannot lift a DCO restriction)";
// Whether the record says sectors of the disk were beyond the job's reach.
bool LeavesSectorsUnerased(const FirmwareReport& report);

inline constexpr const wchar_t* kVerdictFirmwareFailed = L"FIRMWARE SANITIZE FAILED";
inline constexpr const wchar_t* kVerdictFirmwareUnconfirmed = L"FIRMWARE SANITIZE NOT CONFIRMED";

struct HiddenAreaOutcome {
  bool refuse = false;
  std::wstring message;    // why the job is refused
  uint64_t sizeBytes = 0;  // what the job erases: the native size after a restore
};

// A disk whose native max address lies above what the host sees has it restored for this job
// (volatile: the next power cycle brings the limit back) and the whole native range is erased;
// where that is not possible (an Accessible Max Address is kept over power cycles, the drive or
// the system refuses, the system does not see the new size) the job is refused with the hidden
// sector count. A DCO limit the job cannot lift is reported as sectors not erased.
HiddenAreaOutcome PrepareHiddenArea(Device& disk, FirmwareTransport& transport,
                                    FirmwareCapabilities& caps, uint64_t sizeBytes,
                                    uint32_t sectorSize, FirmwareReport& report,
                                    const LogCallback& log);

// Chooses the method (FirmwareMode of the config), writes the check sectors, runs it, reads
// them back. A disk without a method goes on with the overwrite passes.
FirmwareStepOutcome RunFirmwareStep(Device& disk, FirmwareTransport& transport,
                                    const FirmwareCapabilities& caps, const EraseJobConfig& config,
                                    uint64_t sizeBytes, const std::wstring& certificateId,
                                    const ProgressCallback& progress, const LogCallback& log,
                                    const SanitizeClock& clock, FirmwareReport& report);

// How a disk's bus reaches its firmware (Windows decides by it; Linux by the device name).
PassThroughKind BusPassThrough(BusKind bus);

// The NIST SP 800-88 category a finished job reached on its media.
std::wstring NistCategoryText(bool firmwarePurge, const std::wstring& method, bool overwritten,
                              MediaKind media);

}  // namespace tvde
