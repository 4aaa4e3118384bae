// Byte layouts of the Windows storage pass-through requests, for the program's architecture.
#include "firmware/windows_requests.h"

#include "base/byte_order.h"

namespace tvde::winreq {
namespace {

// STORAGE_PROTOCOL_COMMAND fields.
constexpr size_t kPcVersion = 0, kPcLength = 4, kPcProtocolType = 8, kPcFlags = 12;
constexpr size_t kPcReturnStatus = 16, kPcErrorCode = 20, kPcCommandLength = 24;
constexpr size_t kPcErrorInfoLength = 28, kPcToDeviceLength = 32, kPcFromDeviceLength = 36;
constexpr size_t kPcTimeout = 40, kPcErrorInfoOffset = 44, kPcToDeviceOffset = 48;
constexpr size_t kPcFromDeviceOffset = 52, kPcCommandSpecific = 56, kPcFixedReturn = 64;
constexpr uint32_t kProtocolStructureVersion = 1;
constexpr uint32_t kProtocolCommandSize = 84;  // sizeof, with its one-byte Command[] array
constexpr uint32_t kAdapterRequest = 0x80000000;
constexpr uint32_t kNvmeAdminCommandSpecific = 1;
constexpr size_t kErrorInfoStatus = 12;  // NVME_ERROR_INFO_LOG: status field, phase in bit 0

// ATA_PASS_THROUGH_EX fields.
constexpr size_t kApLength = 0, kApFlags = 2, kApDataLength = 8, kApTimeout = 12;
constexpr uint16_t kAtaFlagDrdy = 0x01, kAtaFlagIn = 0x02, kAtaFlagOut = 0x04, kAtaFlag48 = 0x08;

// SCSI_PASS_THROUGH_DIRECT fields.
constexpr size_t kSpLength = 0, kSpStatus = 2, kSpCdbLength = 6, kSpSenseLength = 7;
constexpr size_t kSpDataIn = 8, kSpDataLength = 12, kSpTimeout = 16;

std::span<uint8_t> At(std::vector<uint8_t>& buffer, size_t offset) {
  return std::span<uint8_t>(buffer).subspan(offset);
}

void PutPointerSized(std::span<uint8_t> field, uint64_t value) {
  if (kPointers64) {
    PutLe64(field, value);
  } else {
    PutLe32(field, static_cast<uint32_t>(value));
  }
}

}  // namespace

std::vector<uint8_t> ProtocolQuery(uint32_t propertyId, uint32_t protocolType, uint32_t dataType,
                                   uint32_t requestValue, uint32_t requestSubValue,
                                   uint32_t dataLength) {
  std::vector<uint8_t> buffer(kProtocolQueryDataOffset + dataLength, 0);
  PutLe32(At(buffer, 0), propertyId);
  PutLe32(At(buffer, 4), 0);  // PropertyStandardQuery
  PutLe32(At(buffer, 8), protocolType);
  PutLe32(At(buffer, 12), dataType);
  PutLe32(At(buffer, 16), requestValue);
  PutLe32(At(buffer, 20), requestSubValue);
  PutLe32(At(buffer, 24), static_cast<uint32_t>(kProtocolDataBytes));  // ProtocolDataOffset
  PutLe32(At(buffer, 28), dataLength);
  return buffer;
}

std::span<const uint8_t> ProtocolQueryData(std::span<const uint8_t> answer) {
  if (answer.size() < kProtocolQueryDataOffset) return {};
  const uint64_t offset = 8 + uint64_t{GetLe32(answer.subspan(24))};
  const uint64_t length = GetLe32(answer.subspan(28));
  if (offset + length > answer.size()) return {};
  return answer.subspan(static_cast<size_t>(offset), static_cast<size_t>(length));
}

std::vector<uint8_t> NvmeProtocolCommand(const NvmeAdminCommand& command,
                                         std::span<const uint8_t> dataToDevice) {
  const bool toDevice = command.direction == NvmeDataDirection::ToDevice;
  const bool fromDevice = command.direction == NvmeDataDirection::FromDevice;
  std::vector<uint8_t> buffer(kProtocolCommandDataOffset + command.dataLength, 0);
  PutLe32(At(buffer, kPcVersion), kProtocolStructureVersion);
  PutLe32(At(buffer, kPcLength), kProtocolCommandSize);
  PutLe32(At(buffer, kPcProtocolType), kProtocolTypeNvme);
  PutLe32(At(buffer, kPcFlags), kAdapterRequest);
  PutLe32(At(buffer, kPcCommandLength), static_cast<uint32_t>(kNvmeCommandBytes));
  PutLe32(At(buffer, kPcErrorInfoLength), static_cast<uint32_t>(kNvmeErrorInfoBytes));
  PutLe32(At(buffer, kPcErrorInfoOffset),
          static_cast<uint32_t>(kProtocolCommandHeaderBytes + kNvmeCommandBytes));
  PutLe32(At(buffer, toDevice ? kPcToDeviceLength : kPcFromDeviceLength),
          toDevice || fromDevice ? command.dataLength : 0);
  if (toDevice || fromDevice) {
    PutLe32(At(buffer, toDevice ? kPcToDeviceOffset : kPcFromDeviceOffset),
            static_cast<uint32_t>(kProtocolCommandDataOffset));
  }
  PutLe32(At(buffer, kPcTimeout), command.timeoutSeconds);
  PutLe32(At(buffer, kPcCommandSpecific), kNvmeAdminCommandSpecific);
  // The submission queue entry: CDW0 opcode, NSID at 4, CDW10 to CDW15 at 40 to 63.
  const std::span<uint8_t> sqe = At(buffer, kProtocolCommandHeaderBytes);
  sqe[0] = command.opcode;
  PutLe32(sqe.subspan(4), command.nsid);
  const uint32_t dwords[] = {command.cdw10, command.cdw11, command.cdw12,
                             command.cdw13, command.cdw14, command.cdw15};
  for (size_t i = 0; i < 6; ++i)
    PutLe32(sqe.subspan(40 + 4 * i), dwords[i]);
  if (toDevice) {
    for (size_t i = 0; i < command.dataLength && i < dataToDevice.size(); ++i)
      buffer[kProtocolCommandDataOffset + i] = dataToDevice[i];
  }
  return buffer;
}

ProtocolCommandResult ParseProtocolCommand(std::span<const uint8_t> buffer) {
  ProtocolCommandResult result;
  if (buffer.size() < kProtocolCommandDataOffset) return result;
  result.returnStatus = GetLe32(buffer.subspan(kPcReturnStatus));
  result.errorCode = GetLe32(buffer.subspan(kPcErrorCode));
  result.fixedReturnData = GetLe32(buffer.subspan(kPcFixedReturn));
  const uint32_t errorInfo = GetLe32(buffer.subspan(kPcErrorInfoOffset));
  if (result.returnStatus != kProtocolStatusSuccess &&
      errorInfo + kErrorInfoStatus + 2 <= buffer.size()) {
    result.nvmeStatus =
        static_cast<uint16_t>(GetLe16(buffer.subspan(errorInfo + kErrorInfoStatus)) >> 1);
  }
  return result;
}

std::vector<uint8_t> AtaPassThrough(const AtaCommand& c, std::span<const uint8_t> dataOut) {
  const size_t dataBytes = c.DataBytes();
  std::vector<uint8_t> buffer(kAtaPassThroughBytes + dataBytes, 0);
  PutLe16(At(buffer, kApLength), static_cast<uint16_t>(kAtaPassThroughBytes));
  uint16_t flags = kAtaFlagDrdy;
  if (c.protocol == AtaProtocol::PioIn) flags |= kAtaFlagIn;
  if (c.protocol == AtaProtocol::PioOut) flags |= kAtaFlagOut;
  if (c.ext) flags |= kAtaFlag48;
  PutLe16(At(buffer, kApFlags), flags);
  PutLe32(At(buffer, kApDataLength), static_cast<uint32_t>(dataBytes));
  PutLe32(At(buffer, kApTimeout), c.timeoutSeconds);
  PutPointerSized(At(buffer, kApDataOffset), kAtaPassThroughBytes);
  // Task files: features, count, LBA low, mid, high, device, command, reserved. The previous
  // file carries the upper bytes of a 48-bit command.
  if (c.ext) {
    buffer[kApPrevious + 0] = static_cast<uint8_t>(c.feature >> 8);
    buffer[kApPrevious + 1] = static_cast<uint8_t>(c.count >> 8);
    buffer[kApPrevious + 2] = static_cast<uint8_t>(c.lba >> 24);
    buffer[kApPrevious + 3] = static_cast<uint8_t>(c.lba >> 32);
    buffer[kApPrevious + 4] = static_cast<uint8_t>(c.lba >> 40);
  }
  buffer[kApCurrent + 0] = static_cast<uint8_t>(c.feature);
  buffer[kApCurrent + 1] = static_cast<uint8_t>(c.count);
  buffer[kApCurrent + 2] = static_cast<uint8_t>(c.lba);
  buffer[kApCurrent + 3] = static_cast<uint8_t>(c.lba >> 8);
  buffer[kApCurrent + 4] = static_cast<uint8_t>(c.lba >> 16);
  buffer[kApCurrent + 5] = c.device;
  buffer[kApCurrent + 6] = c.command;
  if (c.protocol == AtaProtocol::PioOut) {
    for (size_t i = 0; i < dataBytes && i < dataOut.size(); ++i)
      buffer[kAtaPassThroughBytes + i] = dataOut[i];
  }
  return buffer;
}

AtaRegisters ParseAtaPassThrough(std::span<const uint8_t> buffer, bool ext) {
  AtaRegisters r;
  if (buffer.size() < kAtaPassThroughBytes) return r;
  const std::span<const uint8_t> current = buffer.subspan(kApCurrent, 8);
  const std::span<const uint8_t> previous = buffer.subspan(kApPrevious, 8);
  r.error = current[0];
  r.count = current[1];
  r.lba = uint64_t{current[2]} | uint64_t{current[3]} << 8 | uint64_t{current[4]} << 16;
  r.device = current[5];
  r.status = current[6];
  if (ext) {
    r.count = static_cast<uint16_t>(r.count | previous[1] << 8);
    r.lba |=
        uint64_t{previous[2]} << 24 | uint64_t{previous[3]} << 32 | uint64_t{previous[4]} << 40;
  } else {
    r.lba |= uint64_t{current[5] & 0x0Fu} << 24;
  }
  return r;
}

std::vector<uint8_t> ScsiPassThroughDirect(const ScsiCommand& command, uint8_t* data,
                                           uint32_t dataBytes) {
  std::vector<uint8_t> buffer(kScsiPassThroughBytes + kScsiSenseBytes, 0);
  PutLe16(At(buffer, kSpLength), static_cast<uint16_t>(kScsiPassThroughBytes));
  buffer[kSpCdbLength] = static_cast<uint8_t>(command.cdb.size());
  buffer[kSpSenseLength] = static_cast<uint8_t>(kScsiSenseBytes);
  // SCSI_IOCTL_DATA_OUT 0, _IN 1, _UNSPECIFIED 2.
  buffer[kSpDataIn] = command.direction == ScsiDirection::FromDevice ? 1
                      : command.direction == ScsiDirection::ToDevice ? 0
                                                                     : 2;
  PutLe32(At(buffer, kSpDataLength), dataBytes);
  PutLe32(At(buffer, kSpTimeout), command.timeoutSeconds);
  PutPointerSized(At(buffer, kSpDataBuffer), reinterpret_cast<uintptr_t>(data));
  PutLe32(At(buffer, kSpSenseOffset), static_cast<uint32_t>(kScsiPassThroughBytes));
  for (size_t i = 0; i < command.cdb.size() && i < 16; ++i)
    buffer[kSpCdb + i] = command.cdb[i];
  return buffer;
}

ScsiPassThroughResult ParseScsiPassThrough(std::span<const uint8_t> buffer) {
  ScsiPassThroughResult result;
  if (buffer.size() < kScsiPassThroughBytes + kScsiSenseBytes) return result;
  result.scsiStatus = buffer[kSpStatus];
  if (result.scsiStatus != 0) {
    const std::span<const uint8_t> sense = buffer.subspan(kScsiPassThroughBytes, kScsiSenseBytes);
    result.sense.assign(sense.begin(), sense.end());
  }
  return result;
}

std::vector<uint8_t> ReinitializeMediaRequest(ReinitializeMethod method, uint32_t timeoutSeconds) {
  std::vector<uint8_t> buffer(16, 0);
  PutLe32(At(buffer, 0), 16);  // Version: the structure's size
  PutLe32(At(buffer, 4), 16);  // Size
  PutLe32(At(buffer, 8), timeoutSeconds);
  PutLe32(At(buffer, 12), static_cast<uint32_t>(method) & 0xF);  // SanitizeMethod, bits 3:0
  return buffer;
}

}  // namespace tvde::winreq
