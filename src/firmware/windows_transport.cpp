// The Windows firmware transport: each command as the storage stack takes it.
#include "firmware/windows_transport.h"

#include <algorithm>

#include "firmware/windows_requests.h"

namespace tvde {
namespace {

using namespace winreq;

constexpr uint32_t kProtocolStatusError = 2;
constexpr uint32_t kProtocolStatusNoDevice = 4;
constexpr uint32_t kProtocolStatusBusy = 5;
constexpr uint32_t kReinitializeTimeoutSeconds = 4 * 3600;

TransportOutcome OutcomeOfError(uint32_t error) {
  switch (error) {
    case kWinErrorInvalidFunction:
    case kWinErrorAccessDenied:
    case kWinErrorNotSupported:
    case kWinErrorInvalidParameter:
      return TransportOutcome::Refused;
    default:
      return TransportOutcome::Failed;
  }
}

void CopyOut(std::span<const uint8_t> from, std::span<uint8_t> to) {
  std::copy_n(from.begin(), std::min(from.size(), to.size()), to.begin());
}

class WindowsTransport final : public FirmwareTransport {
 public:
  explicit WindowsTransport(WindowsTransportSetup setup) : s_(std::move(setup)) {}

  PassThroughKind Kind() const override { return s_.kind; }
  std::wstring Unavailable() const override { return s_.unavailable; }
  PlatformRules Rules() const override { return s_.rules; }

  NvmeAnswer Nvme(const NvmeAdminCommand& command, std::span<uint8_t> data) override {
    NvmeAnswer answer;
    answer.outcome = TransportOutcome::Refused;
    if (s_.kind != PassThroughKind::Nvme) return answer;
    if (command.opcode == kNvmeOpIdentify || command.opcode == kNvmeOpGetLogPage) {
      return Query(command, data);
    }
    std::vector<uint8_t> buffer = NvmeProtocolCommand(command, data);
    uint32_t returned = 0;
    if (const uint32_t error = Call(kProtocolCommand, buffer, buffer, returned); error != 0) {
      answer.outcome = OutcomeOfError(error);
      answer.osError = error;
      return answer;
    }
    const ProtocolCommandResult result = ParseProtocolCommand(buffer);
    if (result.returnStatus == kProtocolStatusSuccess ||
        (result.returnStatus == kProtocolStatusError && result.nvmeStatus != 0)) {
      answer.outcome = TransportOutcome::Answered;
      answer.status = result.nvmeStatus;
      answer.result = result.fixedReturnData;
      if (command.direction == NvmeDataDirection::FromDevice) {
        CopyOut(std::span<const uint8_t>(buffer).subspan(kProtocolCommandDataOffset), data);
      }
      return answer;
    }
    answer.osError = result.returnStatus;
    answer.outcome =
        result.returnStatus == kProtocolStatusNoDevice || result.returnStatus == kProtocolStatusBusy
            ? TransportOutcome::Failed
            : TransportOutcome::Refused;
    return answer;
  }

  ScsiAnswer Scsi(const ScsiCommand& command, std::span<uint8_t> dataIn) override {
    ScsiAnswer answer;
    answer.outcome = TransportOutcome::Refused;
    if (s_.kind != PassThroughKind::Scsi) return answer;
    std::vector<uint8_t> out = command.dataOut;
    uint8_t* data = nullptr;
    uint32_t bytes = 0;
    if (command.direction == ScsiDirection::FromDevice && dataIn.size() >= command.dataInLength) {
      data = dataIn.data();
      bytes = command.dataInLength;
    } else if (command.direction == ScsiDirection::ToDevice) {
      data = out.data();
      bytes = static_cast<uint32_t>(out.size());
    }
    std::vector<uint8_t> buffer = ScsiPassThroughDirect(command, data, bytes);
    uint32_t returned = 0;
    if (const uint32_t error = Call(kScsiPassThroughDirect, buffer, buffer, returned); error != 0) {
      answer.outcome = OutcomeOfError(error);
      answer.osError = error;
      return answer;
    }
    ScsiPassThroughResult result = ParseScsiPassThrough(buffer);
    answer.outcome = TransportOutcome::Answered;
    answer.status = result.scsiStatus;
    answer.sense = std::move(result.sense);
    return answer;
  }

  AtaAnswer Ata(const AtaCommand& command, std::span<uint8_t> data) override {
    if (s_.kind == PassThroughKind::Scsi) return AtaOverScsi(*this, command, data);
    AtaAnswer answer;
    answer.outcome = TransportOutcome::Refused;
    if (s_.kind != PassThroughKind::Ata) return answer;
    if (command.command == kAtaIdentifyDevice) return IdentifyQuery(data);
    std::vector<uint8_t> buffer = AtaPassThrough(command, data);
    uint32_t returned = 0;
    if (const uint32_t error = Call(kAtaPassThrough, buffer, buffer, returned); error != 0) {
      answer.outcome = OutcomeOfError(error);
      answer.osError = error;
      return answer;
    }
    answer.outcome = TransportOutcome::Answered;
    answer.registers = ParseAtaPassThrough(buffer, command.ext);
    if (command.protocol == AtaProtocol::PioIn) {
      CopyOut(std::span<const uint8_t>(buffer).subspan(kAtaPassThroughBytes), data);
    }
    return answer;
  }

  TransportOutcome ReinitializeMedia(ReinitializeMethod method, uint32_t& osError) override {
    const std::vector<uint8_t> request =
        ReinitializeMediaRequest(method, kReinitializeTimeoutSeconds);
    uint32_t returned = 0;
    osError = Call(kReinitializeMedia, request, {}, returned);
    return osError == 0 ? TransportOutcome::Answered : OutcomeOfError(osError);
  }

 private:
  uint32_t Call(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                uint32_t& returned) {
    if (!ControlAccessGranted(code, s_.grantedAccess)) return kWinErrorAccessDenied;
    return s_.control(code, in, out, returned);
  }

  // Identify (CNS 00h namespace, 01h controller, 02h active list) and log pages as protocol
  // queries, which a handle without access rights may ask.
  NvmeAnswer Query(const NvmeAdminCommand& command, std::span<uint8_t> data) {
    NvmeAnswer answer;
    const bool identify = command.opcode == kNvmeOpIdentify;
    const uint32_t cns = command.cdw10 & 0xFF;
    const uint32_t property =
        identify && cns == 0 ? kDeviceProtocolSpecificProperty : kAdapterProtocolSpecificProperty;
    std::vector<uint8_t> buffer = ProtocolQuery(
        property, kProtocolTypeNvme, identify ? kNvmeDataTypeIdentify : kNvmeDataTypeLogPage,
        identify ? cns : (command.cdw10 & 0xFF), identify ? command.nsid : 0, command.dataLength);
    uint32_t returned = 0;
    if (const uint32_t error = Call(kQueryProperty, buffer, buffer, returned); error != 0) {
      answer.outcome = OutcomeOfError(error);
      answer.osError = error;
      return answer;
    }
    const std::span<const uint8_t> answerData = ProtocolQueryData(
        std::span<const uint8_t>(buffer).first(std::min<size_t>(returned, buffer.size())));
    if (answerData.size() < command.dataLength) {
      answer.outcome = TransportOutcome::Refused;
      return answer;
    }
    CopyOut(answerData, data);
    answer.outcome = TransportOutcome::Answered;
    return answer;
  }

  AtaAnswer IdentifyQuery(std::span<uint8_t> data) {
    AtaAnswer answer;
    std::vector<uint8_t> buffer = ProtocolQuery(kDeviceProtocolSpecificProperty, kProtocolTypeAta,
                                                kAtaDataTypeIdentify, 0, 0, kAtaBlockBytes);
    uint32_t returned = 0;
    if (const uint32_t error = Call(kQueryProperty, buffer, buffer, returned); error != 0) {
      answer.outcome = OutcomeOfError(error);
      answer.osError = error;
      return answer;
    }
    const std::span<const uint8_t> block = ProtocolQueryData(
        std::span<const uint8_t>(buffer).first(std::min<size_t>(returned, buffer.size())));
    if (block.size() < kAtaBlockBytes) {
      answer.outcome = TransportOutcome::Refused;
      return answer;
    }
    CopyOut(block, data);
    answer.outcome = TransportOutcome::Answered;
    return answer;
  }

  WindowsTransportSetup s_;
};

}  // namespace

std::unique_ptr<FirmwareTransport> MakeWindowsTransport(WindowsTransportSetup setup) {
  return std::make_unique<WindowsTransport>(std::move(setup));
}

}  // namespace tvde
