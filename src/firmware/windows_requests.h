#pragma once
// The buffers of the Windows storage pass-through requests, laid out byte by byte as the
// Windows structures of the program's architecture are (both Windows builds check every offset
// against the SDK): protocol
// queries of IOCTL_STORAGE_QUERY_PROPERTY, STORAGE_PROTOCOL_COMMAND, ATA_PASS_THROUGH_EX,
// SCSI_PASS_THROUGH_DIRECT and STORAGE_REINITIALIZE_MEDIA. Portable, so both builds test them.

#include <cstdint>
#include <span>
#include <vector>

#include "base/control_code_access.h"
#include "firmware/ata_commands.h"
#include "firmware/firmware_transport.h"
#include "firmware/nvme_admin.h"

namespace tvde::winreq {

// CTL_CODE(DeviceType, Function, METHOD_BUFFERED, Access).
constexpr uint32_t ControlCode(uint32_t deviceType, uint32_t function, uint32_t access) {
  return (deviceType << 16) | (access << 14) | (function << 2);
}
inline constexpr uint32_t kAnyAccess = 0, kReadAccess = kControlReadAccess,
                          kWriteAccess = kControlWriteAccess;
inline constexpr uint32_t kQueryProperty = ControlCode(0x2D, 0x500, kAnyAccess);
inline constexpr uint32_t kProtocolCommand = ControlCode(0x2D, 0x4F0, kReadAccess | kWriteAccess);
inline constexpr uint32_t kReinitializeMedia = ControlCode(0x2D, 0x590, kWriteAccess);
inline constexpr uint32_t kAtaPassThrough = ControlCode(0x04, 0x40B, kReadAccess | kWriteAccess);
inline constexpr uint32_t kScsiPassThroughDirect =
    ControlCode(0x04, 0x405, kReadAccess | kWriteAccess);

// STORAGE_PROPERTY_ID and STORAGE_PROTOCOL_TYPE / data type values.
inline constexpr uint32_t kAdapterProtocolSpecificProperty = 49;
inline constexpr uint32_t kDeviceProtocolSpecificProperty = 50;
inline constexpr uint32_t kProtocolTypeAta = 2;
inline constexpr uint32_t kProtocolTypeNvme = 3;
inline constexpr uint32_t kNvmeDataTypeIdentify = 1;
inline constexpr uint32_t kNvmeDataTypeLogPage = 2;
inline constexpr uint32_t kAtaDataTypeIdentify = 1;

// STORAGE_PROPERTY_QUERY (PropertyId, QueryType) followed by STORAGE_PROTOCOL_SPECIFIC_DATA and
// room for the answer; the answer comes back as STORAGE_PROTOCOL_DATA_DESCRIPTOR in the same
// buffer, its data at kProtocolQueryDataOffset.
inline constexpr size_t kProtocolDataBytes = 40;  // STORAGE_PROTOCOL_SPECIFIC_DATA
inline constexpr size_t kProtocolQueryDataOffset = 8 + kProtocolDataBytes;
std::vector<uint8_t> ProtocolQuery(uint32_t propertyId, uint32_t protocolType, uint32_t dataType,
                                   uint32_t requestValue, uint32_t requestSubValue,
                                   uint32_t dataLength);
// The answer's data, checked against the descriptor's own offset and length; empty when they
// do not fit the buffer.
std::span<const uint8_t> ProtocolQueryData(std::span<const uint8_t> answer);

// STORAGE_PROTOCOL_COMMAND with one NVMe admin command, its error-information area and the data.
inline constexpr size_t kProtocolCommandHeaderBytes = 80;  // up to Command[]
inline constexpr size_t kNvmeCommandBytes = 64;
inline constexpr size_t kNvmeErrorInfoBytes = 64;
inline constexpr size_t kProtocolCommandDataOffset =
    kProtocolCommandHeaderBytes + kNvmeCommandBytes + kNvmeErrorInfoBytes;
inline constexpr uint32_t kProtocolStatusSuccess = 1;
std::vector<uint8_t> NvmeProtocolCommand(const NvmeAdminCommand& command,
                                         std::span<const uint8_t> dataToDevice);
struct ProtocolCommandResult {
  uint32_t returnStatus = 0;  // STORAGE_PROTOCOL_STATUS_*
  uint32_t errorCode = 0;
  uint32_t fixedReturnData = 0;  // NVMe completion dword 0
  uint16_t nvmeStatus = 0;       // from the error information entry when the command failed
};
ProtocolCommandResult ParseProtocolCommand(std::span<const uint8_t> buffer);

// The pass-through structures hold one pointer-sized field (ULONG_PTR DataBufferOffset, PVOID
// DataBuffer), so their layout follows the program's own architecture.
inline constexpr bool kPointers64 = sizeof(void*) == 8;

// ATA_PASS_THROUGH_EX with the data following it (DataBufferOffset = its size). Task files:
// previous (the upper bytes of a 48-bit command) and current.
inline constexpr size_t kAtaPassThroughBytes = kPointers64 ? 48 : 40;
inline constexpr size_t kApDataOffset = 20 + (kPointers64 ? 4 : 0);
inline constexpr size_t kApPrevious = kApDataOffset + sizeof(void*);
inline constexpr size_t kApCurrent = kApPrevious + 8;
std::vector<uint8_t> AtaPassThrough(const AtaCommand& command, std::span<const uint8_t> dataOut);
AtaRegisters ParseAtaPassThrough(std::span<const uint8_t> buffer, bool ext);

// SCSI_PASS_THROUGH_DIRECT with the sense area following it; the data stays in the caller's
// buffer, whose address goes into DataBuffer.
inline constexpr size_t kScsiPassThroughBytes = kPointers64 ? 56 : 44;
inline constexpr size_t kSpDataBuffer = 20 + (kPointers64 ? 4 : 0);
inline constexpr size_t kSpSenseOffset = kSpDataBuffer + sizeof(void*);
inline constexpr size_t kSpCdb = kSpSenseOffset + 4;
inline constexpr size_t kScsiSenseBytes = 32;
std::vector<uint8_t> ScsiPassThroughDirect(const ScsiCommand& command, uint8_t* data,
                                           uint32_t dataBytes);
struct ScsiPassThroughResult {
  uint8_t scsiStatus = 0;
  std::vector<uint8_t> sense;
};
ScsiPassThroughResult ParseScsiPassThrough(std::span<const uint8_t> buffer);

// STORAGE_REINITIALIZE_MEDIA: version and size 16, the timeout, the sanitize option.
std::vector<uint8_t> ReinitializeMediaRequest(ReinitializeMethod method, uint32_t timeoutSeconds);

}  // namespace tvde::winreq
