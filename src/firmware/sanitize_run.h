#pragma once
// Sends the chosen firmware erase and follows it until the drive reports the outcome: the NVMe
// Sanitize Status log, ATA SANITIZE STATUS EXT, SCSI REQUEST SENSE progress, or the completion
// of a command that finishes only when the erase has (Format NVM, SECURITY ERASE UNIT, FORMAT
// UNIT, Windows reinitialize). A sanitize cannot be cancelled: the caller's cancel flag is not
// read here, and a drive that stops answering for a while (a power cycle, after which a
// sanitize resumes) is waited for.

#include <cstdint>
#include <functional>
#include <string>

#include "base/log_callback.h"
#include "firmware/firmware_capabilities.h"
#include "firmware/sanitize_choice.h"

namespace tvde {

struct SanitizeClock {
  std::function<uint64_t()> nowMs;
  std::function<void(uint32_t milliseconds)> sleepMs;
};
SanitizeClock SystemSanitizeClock();

enum class SanitizeResult : int32_t {
  Completed,     // the drive reported the erase complete
  Failed,        // the drive reported that the erase failed
  NotConfirmed,  // the erase was sent but its end could not be read back
  Frozen,        // nothing was sent: the drive is frozen
  Refused,       // the erase command was not taken (by the drive or the system)
};

struct SanitizeRun {
  SanitizeResult result = SanitizeResult::Refused;
  std::wstring command;     // what was sent: name, opcode and fields
  std::wstring completion;  // the drive's raw completion of that command
  std::wstring statusLog;   // the last sanitize status read back
  std::wstring detail;      // in words: what went wrong
  uint64_t elapsedMs = 0;
};

struct SanitizeRunOptions {
  // ATA security erase: the user password set for the erase (logged before it is set, so that
  // a drive left locked can be unlocked).
  std::string password;
  uint32_t pollMs = 1000;
  uint64_t maxWaitMs = uint64_t{48} * 3600 * 1000;
  // How long a drive that stopped answering is waited for before the run gives up.
  uint64_t silenceMs = uint64_t{10} * 60 * 1000;
  std::function<void(uint32_t progress65536)> progress;  // may be empty
  LogCallback log;
};

SanitizeRun RunFirmwareSanitize(FirmwareTransport& transport, const FirmwareCapabilities& caps,
                                FirmwareMethod method, const SanitizeRunOptions& options,
                                const SanitizeClock& clock);

}  // namespace tvde
