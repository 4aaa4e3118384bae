#pragma once
// The one door to a drive's own commands: NVMe admin commands, SCSI CDBs and ATA task files
// passed through the operating system, each answered with what the device (or, when it never
// got there, the system) said. One implementation per OS; tests put a simulated drive behind it.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "firmware/ata_commands.h"
#include "firmware/nvme_admin.h"
#include "firmware/scsi_commands.h"

namespace tvde {

// How the disk is reached: NVMe admin commands, SCSI (which may carry ATA commands by SAT, as
// Linux libata, USB bridges and SAS controllers do), native ATA pass-through (Windows SATA),
// or not at all.
enum class PassThroughKind : int32_t { None, Nvme, Scsi, Ata };

enum class TransportOutcome : int32_t {
  Answered,  // the device answered; its status says how
  Refused,   // the system or its driver would not pass the request (rights, policy, support)
  Failed,    // the request got lost on the way (I/O error, timeout, device gone)
};

struct NvmeAnswer {
  TransportOutcome outcome = TransportOutcome::Failed;
  uint16_t status = 0;  // status field: bits 7:0 SC, 10:8 SCT, 14 DNR
  uint32_t result = 0;  // completion dword 0
  uint32_t osError = 0;
  bool Ok() const { return outcome == TransportOutcome::Answered && (status & 0x7FF) == 0; }
};

struct ScsiAnswer {
  TransportOutcome outcome = TransportOutcome::Failed;
  uint8_t status = 0;  // SCSI status: 00h GOOD, 02h CHECK CONDITION
  std::vector<uint8_t> sense;
  uint32_t osError = 0;
  bool Ok() const { return outcome == TransportOutcome::Answered && status == 0; }
};

struct AtaAnswer {
  TransportOutcome outcome = TransportOutcome::Failed;
  std::optional<AtaRegisters> registers;  // when the device returned them
  SenseData sense;                        // of a SAT transport
  uint32_t osError = 0;
  // Answered without ERR or DF; a command that asked for its registers must also have them.
  bool Ok(const AtaCommand& command) const {
    return outcome == TransportOutcome::Answered &&
           (registers ? !registers->Failed() : !command.wantRegisters);
  }
};

// Windows IOCTL_STORAGE_REINITIALIZE_MEDIA and its sanitize option.
enum class ReinitializeMethod : int32_t { Default = 0, BlockErase = 1, CryptoErase = 2 };

// What the operating system lets pass (Windows restricts some commands to WinPE or to newer
// builds; elsewhere everything the device takes).
struct PlatformRules {
  bool windows = false;
  bool winpe = false;
  uint32_t windowsBuild = 0;
};

class FirmwareTransport {
 public:
  virtual ~FirmwareTransport() = default;

  virtual PassThroughKind Kind() const = 0;
  // Why there is no way to the drive's commands (Kind None): "loop device", a refused bridge.
  virtual std::wstring Unavailable() const { return {}; }
  virtual PlatformRules Rules() const { return {}; }

  // `data` holds dataLength bytes (read or written as the command's direction says).
  virtual NvmeAnswer Nvme(const NvmeAdminCommand& command, std::span<uint8_t> data) = 0;
  // `dataIn` holds dataInLength bytes for a FromDevice command.
  virtual ScsiAnswer Scsi(const ScsiCommand& command, std::span<uint8_t> dataIn) = 0;
  // `data` holds command.DataBytes() bytes.
  virtual AtaAnswer Ata(const AtaCommand& command, std::span<uint8_t> data) = 0;

  // The NVMe namespace this handle addresses; nothing when the system does not say.
  virtual std::optional<uint32_t> NamespaceId() { return std::nullopt; }
  // Asks the system to read the disk's size again (after its max address changed).
  virtual bool RefreshCapacity() { return false; }
  // Windows only; Refused elsewhere.
  virtual TransportOutcome ReinitializeMedia(ReinitializeMethod /*method*/, uint32_t& osError) {
    osError = 0;
    return TransportOutcome::Refused;
  }
};

// An ATA command carried in ATA PASS-THROUGH(16) over a SCSI transport, with the registers
// taken from the ATA Status Return descriptor (or the fixed-format sense some kernels give).
AtaAnswer AtaOverScsi(FirmwareTransport& scsi, const AtaCommand& command, std::span<uint8_t> data);

// The CDB of ATA PASS-THROUGH(16) for `command` (SAT layout).
std::vector<uint8_t> AtaPassThroughCdb(const AtaCommand& command);

// The registers in the sense data of an ATA PASS-THROUGH answer; nothing when it holds none.
std::optional<AtaRegisters> ParseAtaReturn(std::span<const uint8_t> sense, bool ext);

// A transport of kind None that asks nothing, for a disk without a way to its firmware.
std::unique_ptr<FirmwareTransport> MakeUnavailableTransport(std::wstring reason);

// "the system refused the request (error 13)" / "I/O error 5" for reports and logs.
std::wstring DescribeTransportFailure(TransportOutcome outcome, uint32_t osError);

}  // namespace tvde
