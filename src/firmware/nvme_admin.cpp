// NVMe admin command builders and the parsers of Identify and the Sanitize Status log.
#include "firmware/nvme_admin.h"

#include "base/byte_order.h"
#include "base/text.h"

namespace tvde {
namespace {

constexpr uint32_t kCnsNamespace = 0x00;
constexpr uint32_t kCnsController = 0x01;
constexpr uint32_t kCnsActiveNamespaces = 0x02;
// Format and sanitize run for as long as the media needs; the drive answers Format NVM only
// when it is done.
constexpr uint32_t kFormatTimeoutSeconds = 4 * 3600;

// Printable ASCII of a space-padded identify field, trimmed.
std::string AsciiField(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t b : bytes)
    text.push_back(b >= 0x20 && b < 0x7F ? static_cast<char>(b) : ' ');
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string::npos) return {};
  return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

NvmeAdminCommand Identify(uint32_t cns, uint32_t nsid) {
  NvmeAdminCommand command;
  command.opcode = kNvmeOpIdentify;
  command.nsid = nsid;
  command.cdw10 = cns;
  command.direction = NvmeDataDirection::FromDevice;
  command.dataLength = kNvmeIdentifyBytes;
  return command;
}

}  // namespace

NvmeAdminCommand NvmeIdentifyNamespace(uint32_t nsid) {
  return Identify(kCnsNamespace, nsid);
}

NvmeAdminCommand NvmeIdentifyController() {
  return Identify(kCnsController, 0);
}

NvmeAdminCommand NvmeActiveNamespaceList() {
  return Identify(kCnsActiveNamespaces, 0);
}

NvmeAdminCommand NvmeSanitizeStatusLog() {
  NvmeAdminCommand command;
  command.opcode = kNvmeOpGetLogPage;
  command.nsid = kNvmeAllNamespaces;
  // CDW10: bits 7:0 log identifier, bits 31:16 the lower number of dwords, 0's based.
  constexpr uint32_t dwords = kNvmeSanitizeLogBytes / 4 - 1;
  command.cdw10 = kNvmeLogSanitizeStatus | (dwords << 16);
  command.direction = NvmeDataDirection::FromDevice;
  command.dataLength = kNvmeSanitizeLogBytes;
  return command;
}

NvmeAdminCommand NvmeSanitize(NvmeSanitizeAction action, uint32_t pattern) {
  NvmeAdminCommand command;
  command.opcode = kNvmeOpSanitize;
  // CDW10: bits 2:0 SANACT, 3 AUSE, 7:4 OWPASS (one pass), 8 OIPBP, 9 NDAS.
  command.cdw10 = static_cast<uint32_t>(action);
  if (action == NvmeSanitizeAction::Overwrite) {
    command.cdw10 |= 1u << 4;
    command.cdw11 = pattern;  // OVRPAT
  }
  return command;
}

NvmeAdminCommand NvmeFormat(uint32_t nsid, const NvmeNamespaceFacts& current, NvmeSecureErase ses) {
  NvmeAdminCommand command;
  command.opcode = kNvmeOpFormatNvm;
  command.nsid = nsid;
  const uint32_t index = current.FormatIndex();
  // CDW10: bits 3:0 LBAF (lower), 4 MSET, 7:5 PI, 8 PIL, 11:9 SES, 13:12 LBAF (upper).
  command.cdw10 = (index & 0x0F) | ((current.flbas >> 4) & 1u) << 4 | (current.dps & 0x7u) << 5 |
                  ((current.dps >> 3) & 1u) << 8 | (static_cast<uint32_t>(ses) & 0x7u) << 9 |
                  ((index >> 4) & 0x3u) << 12;
  command.timeoutSeconds = kFormatTimeoutSeconds;
  return command;
}

std::optional<NvmeControllerFacts> ParseNvmeIdentifyController(std::span<const uint8_t> data) {
  if (data.size() < kNvmeIdentifyBytes) return std::nullopt;
  NvmeControllerFacts facts;
  facts.serial = AsciiField(data.subspan(4, 20));
  facts.model = AsciiField(data.subspan(24, 40));
  facts.firmware = AsciiField(data.subspan(64, 8));
  facts.oacs = GetLe16(data.subspan(256));
  facts.sanicap = GetLe32(data.subspan(328));
  facts.namespaceCount = GetLe32(data.subspan(516));
  facts.fna = data[524];
  return facts;
}

std::optional<NvmeNamespaceFacts> ParseNvmeIdentifyNamespace(std::span<const uint8_t> data) {
  if (data.size() < kNvmeIdentifyBytes) return std::nullopt;
  NvmeNamespaceFacts facts;
  facts.sizeBlocks = GetLe64(data);
  facts.flbas = data[26];
  facts.dps = data[29];
  facts.dlfeat = data[33];
  const uint8_t lbads = data[128 + 4 * size_t{facts.FormatIndex()} + 2];
  facts.blockBytes = lbads >= 9 && lbads < 32 ? 1u << lbads : 0;
  return facts;
}

std::vector<uint32_t> ParseNvmeNamespaceList(std::span<const uint8_t> data) {
  std::vector<uint32_t> ids;
  for (size_t at = 0; at + 4 <= data.size(); at += 4) {
    const uint32_t id = GetLe32(data.subspan(at));
    if (id == 0) break;
    ids.push_back(id);
  }
  return ids;
}

std::optional<NvmeSanitizeStatus> ParseNvmeSanitizeStatus(std::span<const uint8_t> data) {
  if (data.size() < 8) return std::nullopt;
  NvmeSanitizeStatus status;
  status.sprog = GetLe16(data);
  status.sstat = GetLe16(data.subspan(2));
  status.scdw10 = GetLe32(data.subspan(4));
  return status;
}

std::wstring DescribeNvmeStatus(uint16_t status) {
  const uint32_t sct = (status >> 8) & 0x7, sc = status & 0xFF;
  const wchar_t* meaning = L"";
  if (sct == 0) {
    switch (sc) {
      case 0x00:
        meaning = L": Successful Completion";
        break;
      case 0x01:
        meaning = L": Invalid Command Opcode";
        break;
      case 0x02:
        meaning = L": Invalid Field in Command";
        break;
      case 0x06:
        meaning = L": Internal Error";
        break;
      case 0x0B:
        meaning = L": Invalid Namespace or Format";
        break;
      case 0x1C:
        meaning = L": Sanitize Failed";
        break;
      case 0x1D:
        meaning = L": Sanitize In Progress";
        break;
      case 0x84:
        meaning = L": Format In Progress";
        break;
      default:
        break;
    }
  } else if (sct == 1 && sc == 0x0A) {
    meaning = L": Invalid Format";
  }
  return FormatPrintfW("NVMe status %04Xh (SCT %Xh, SC %02Xh", status, sct, sc) + meaning + L")";
}

std::wstring DescribeSanitizeStatus(const NvmeSanitizeStatus& status) {
  const wchar_t* state = L"never sanitized";
  switch (status.state()) {
    case NvmeSanitizeStatus::State::Completed:
      state = L"completed successfully";
      break;
    case NvmeSanitizeStatus::State::InProgress:
      state = L"in progress";
      break;
    case NvmeSanitizeStatus::State::Failed:
      state = L"failed";
      break;
    case NvmeSanitizeStatus::State::CompletedNoDeallocate:
      state = L"completed without deallocation";
      break;
    default:
      break;
  }
  return FormatPrintfW("SSTAT %04Xh (", status.sstat) + state +
         FormatPrintfW("), SPROG %u/65536, SCDW10 %08Xh", status.sprog, status.scdw10);
}

}  // namespace tvde
