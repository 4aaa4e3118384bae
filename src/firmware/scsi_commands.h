#pragma once
// SCSI commands of the sanitize path as CDBs (SPC/SBC layouts) and the sense data a device
// answers with, in fixed (70h/71h) and descriptor (72h/73h) format.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tvde {

inline constexpr uint8_t kScsiFormatUnit = 0x04;
inline constexpr uint8_t kScsiRequestSense = 0x03;
inline constexpr uint8_t kScsiInquiry = 0x12;
inline constexpr uint8_t kScsiSanitize = 0x48;
inline constexpr uint8_t kScsiModeSelect10 = 0x55;
inline constexpr uint8_t kScsiModeSense10 = 0x5A;
inline constexpr uint8_t kScsiMaintenanceIn = 0xA3;

// SANITIZE service actions.
enum class ScsiSanitizeAction : uint8_t { Overwrite = 0x01, BlockErase = 0x02, CryptoErase = 0x03 };

enum class ScsiDirection : int32_t { None, FromDevice, ToDevice };

struct ScsiCommand {
  std::vector<uint8_t> cdb;
  ScsiDirection direction = ScsiDirection::None;
  std::vector<uint8_t> dataOut;  // parameter data of a ToDevice command
  uint32_t dataInLength = 0;     // bytes asked for by a FromDevice command
  uint32_t timeoutSeconds = 60;
};

ScsiCommand ScsiInquiry();
// REPORT SUPPORTED OPERATION CODES for one opcode and service action (reporting options 010b).
ScsiCommand ScsiReportOperation(uint8_t opcode, uint16_t serviceAction);
// SANITIZE with IMMED set: the command returns at once and REQUEST SENSE shows the progress.
// The overwrite writes one pass of a four-byte pattern. AUSE is not set.
ScsiCommand ScsiSanitize(ScsiSanitizeAction action, uint32_t pattern = 0);
ScsiCommand ScsiFormatUnit();
ScsiCommand ScsiRequestSense();  // descriptor format asked for
ScsiCommand ScsiModeSenseControlPage();
// The MODE SELECT(10) that sets D_SENSE in the Control mode page returned by
// ScsiModeSenseControlPage; nothing when the answer holds no Control page or D_SENSE is set.
std::optional<ScsiCommand> ScsiSelectDescriptorSense(std::span<const uint8_t> modeSense);

// Peripheral device type of a standard INQUIRY answer (0 = direct-access block device).
std::optional<uint8_t> ParsePeripheralType(std::span<const uint8_t> inquiry);

// SUPPORT field of a one-command answer.
enum class CommandSupport : int32_t { Unknown, NotSupported, Supported };
CommandSupport ParseOperationSupport(std::span<const uint8_t> answer);

inline constexpr uint8_t kSenseNoSense = 0x0;
inline constexpr uint8_t kSenseRecovered = 0x1;
inline constexpr uint8_t kSenseNotReady = 0x2;
inline constexpr uint8_t kSenseMediumError = 0x3;
inline constexpr uint8_t kSenseIllegalRequest = 0x5;
inline constexpr uint8_t kSenseAbortedCommand = 0xB;

struct SenseData {
  bool valid = false;
  bool descriptor = false;
  uint8_t key = 0;
  uint8_t asc = 0;
  uint8_t ascq = 0;
  std::optional<uint16_t> progress;  // sense-key specific progress indicator, in 1/65536
};

SenseData ParseSense(std::span<const uint8_t> sense);

// LOGICAL UNIT NOT READY, SANITIZE IN PROGRESS (04h/1Bh).
bool IsSanitizeInProgress(const SenseData& sense);
// SANITIZE COMMAND FAILED (31h/03h).
bool IsSanitizeFailed(const SenseData& sense);
// ILLEGAL REQUEST with INVALID COMMAND OPERATION CODE (20h) or INVALID FIELD IN CDB (24h).
bool IsUnsupportedCommand(const SenseData& sense);

// "sense key 5h ILLEGAL REQUEST, ASC/ASCQ 20h/00h (INVALID COMMAND OPERATION CODE)".
std::wstring DescribeSense(const SenseData& sense);

}  // namespace tvde
