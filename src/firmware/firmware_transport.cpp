// Transport helpers: ATA commands through a SCSI transport (the ATA PASS-THROUGH(16) CDB and
// the ATA registers of its sense data, SAT), the transport of a disk without one, and the words
// for a request that never reached the drive.
#include "firmware/firmware_transport.h"

#include "base/text.h"

namespace tvde {
namespace {

class UnavailableTransport final : public FirmwareTransport {
 public:
  explicit UnavailableTransport(std::wstring reason) : reason_(std::move(reason)) {}
  PassThroughKind Kind() const override { return PassThroughKind::None; }
  std::wstring Unavailable() const override { return reason_; }
  NvmeAnswer Nvme(const NvmeAdminCommand&, std::span<uint8_t>) override {
    return {TransportOutcome::Refused, 0, 0, 0};
  }
  ScsiAnswer Scsi(const ScsiCommand&, std::span<uint8_t>) override {
    return {TransportOutcome::Refused, 0, {}, 0};
  }
  AtaAnswer Ata(const AtaCommand&, std::span<uint8_t>) override {
    return {TransportOutcome::Refused, {}, {}, 0};
  }

 private:
  std::wstring reason_;
};

constexpr uint8_t kAtaPassThrough16 = 0x85;

// PROTOCOL field values.
uint8_t Protocol(AtaProtocol protocol) {
  switch (protocol) {
    case AtaProtocol::PioIn:
      return 4;
    case AtaProtocol::PioOut:
      return 5;
    default:
      return 3;
  }
}

}  // namespace

std::vector<uint8_t> AtaPassThroughCdb(const AtaCommand& c) {
  std::vector<uint8_t> cdb(16, 0);
  cdb[0] = kAtaPassThrough16;
  cdb[1] = static_cast<uint8_t>(Protocol(c.protocol) << 1 | (c.ext ? 1 : 0));
  // CK_COND returns the registers on success; T_DIR from the device, BYTE_BLOCK in blocks,
  // T_LENGTH in the COUNT field. (A data-in command with CK_COND set is refused by some AHCI
  // controllers, so only the commands that need their registers ask.)
  uint8_t flags = c.wantRegisters ? 0x20 : 0x00;
  if (c.protocol != AtaProtocol::NonData) {
    flags |= 0x04 | 0x02 | (c.protocol == AtaProtocol::PioIn ? 0x08 : 0x00);
  }
  cdb[2] = flags;
  cdb[3] = static_cast<uint8_t>(c.feature >> 8);
  cdb[4] = static_cast<uint8_t>(c.feature);
  cdb[5] = static_cast<uint8_t>(c.count >> 8);
  cdb[6] = static_cast<uint8_t>(c.count);
  cdb[7] = static_cast<uint8_t>(c.lba >> 24);
  cdb[8] = static_cast<uint8_t>(c.lba);
  cdb[9] = static_cast<uint8_t>(c.lba >> 32);
  cdb[10] = static_cast<uint8_t>(c.lba >> 8);
  cdb[11] = static_cast<uint8_t>(c.lba >> 40);
  cdb[12] = static_cast<uint8_t>(c.lba >> 16);
  cdb[13] = c.device;
  cdb[14] = c.command;
  if (!c.ext) {  // 28-bit: the upper bytes are not sent
    cdb[3] = cdb[5] = cdb[7] = cdb[9] = cdb[11] = 0;
  }
  return cdb;
}

std::optional<AtaRegisters> ParseAtaReturn(std::span<const uint8_t> sense, bool ext) {
  if (sense.size() < 8) return std::nullopt;
  const uint8_t code = sense[0] & 0x7F;
  AtaRegisters r;
  if (code == 0x72) {
    const size_t end = std::min(sense.size(), size_t{8} + sense[7]);
    for (size_t at = 8; at + 14 <= end; at += size_t{sense[at + 1]} + 2) {
      if (sense[at] != 0x09) continue;  // ATA Status Return descriptor
      const std::span<const uint8_t> d = sense.subspan(at, 14);
      r.error = d[3];
      r.count = static_cast<uint16_t>(d[4] << 8 | d[5]);
      r.lba = uint64_t{d[7]} | uint64_t{d[9]} << 8 | uint64_t{d[11]} << 16;
      if (ext) {
        r.lba |= uint64_t{d[6]} << 24 | uint64_t{d[8]} << 32 | uint64_t{d[10]} << 40;
      } else {
        r.count &= 0xFF;
        r.lba |= uint64_t{d[12] & 0x0Fu} << 24;
      }
      r.device = d[12];
      r.status = d[13];
      return r;
    }
    return std::nullopt;
  }
  if ((code == 0x70 || code == 0x71) && sense.size() >= 12) {
    // INFORMATION holds ERROR, STATUS, DEVICE, COUNT(7:0); kernels before 6.11 put ERROR and
    // STATUS in bytes 8 and 9 instead, which a zero STATUS (DRDY clear) gives away.
    const bool shifted = sense[3] == 0 && sense[4] == 0;
    r.error = shifted ? sense[8] : sense[3];
    r.status = shifted ? sense[9] : sense[4];
    r.device = shifted ? 0 : sense[5];
    r.count = shifted ? 0 : sense[6];
    if (!shifted && sense.size() >= 12) {
      r.lba = uint64_t{sense[9]} | uint64_t{sense[10]} << 8 | uint64_t{sense[11]} << 16;
    }
    return r;
  }
  return std::nullopt;
}

AtaAnswer AtaOverScsi(FirmwareTransport& scsi, const AtaCommand& command, std::span<uint8_t> data) {
  ScsiCommand pass;
  pass.cdb = AtaPassThroughCdb(command);
  pass.timeoutSeconds = command.timeoutSeconds;
  if (command.protocol == AtaProtocol::PioIn) {
    pass.direction = ScsiDirection::FromDevice;
    pass.dataInLength = static_cast<uint32_t>(command.DataBytes());
  } else if (command.protocol == AtaProtocol::PioOut) {
    pass.direction = ScsiDirection::ToDevice;
    pass.dataOut.assign(data.begin(), data.begin() + static_cast<long>(command.DataBytes()));
  }
  const ScsiAnswer answer = scsi.Scsi(pass, data);
  AtaAnswer ata;
  ata.outcome = answer.outcome;
  ata.osError = answer.osError;
  ata.sense = ParseSense(answer.sense);
  if (answer.outcome != TransportOutcome::Answered) return ata;
  // The translation itself refused: no ATA drive behind the SCSI device (or no SAT).
  if (answer.status != 0 && IsUnsupportedCommand(ata.sense)) {
    ata.outcome = TransportOutcome::Refused;
    return ata;
  }
  ata.registers = ParseAtaReturn(answer.sense, command.ext);
  if (!ata.registers && answer.status != 0) {
    AtaRegisters failed;  // CHECK CONDITION without registers: failed all the same
    failed.status = 0x41;
    failed.error = 0x04;
    ata.registers = failed;
  }
  return ata;
}

std::unique_ptr<FirmwareTransport> MakeUnavailableTransport(std::wstring reason) {
  return std::make_unique<UnavailableTransport>(std::move(reason));
}

std::wstring DescribeTransportFailure(TransportOutcome outcome, uint32_t osError) {
  if (outcome == TransportOutcome::Refused) {
    return FormatPrintfW("the system did not pass the command on (error %u)", osError);
  }
  return FormatPrintfW("the command did not reach the drive (error %u)", osError);
}

}  // namespace tvde
