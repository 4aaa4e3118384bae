// SCSI CDBs of the sanitize path and the sense data parser.
#include "firmware/scsi_commands.h"

#include <algorithm>

#include "base/text.h"

namespace tvde {
namespace {

constexpr uint8_t kControlModePage = 0x0A;
constexpr uint8_t kDescriptorSenseBit = 0x04;  // D_SENSE, byte 2 of the Control mode page
constexpr uint32_t kModeSenseBytes = 64;
constexpr uint32_t kSenseBytes = 252;
constexpr uint32_t kInquiryBytes = 96;
constexpr uint32_t kOperationAnswerBytes = 32;

void PutBe16(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value >> 8);
  out[at + 1] = static_cast<uint8_t>(value);
}

ScsiCommand In(std::vector<uint8_t> cdb, uint32_t length) {
  ScsiCommand command;
  command.cdb = std::move(cdb);
  command.direction = ScsiDirection::FromDevice;
  command.dataInLength = length;
  return command;
}

}  // namespace

ScsiCommand ScsiInquiry() {
  std::vector<uint8_t> cdb(6, 0);
  cdb[0] = kScsiInquiry;
  PutBe16(cdb, 3, kInquiryBytes);
  return In(std::move(cdb), kInquiryBytes);
}

ScsiCommand ScsiReportOperation(uint8_t opcode, uint16_t serviceAction) {
  std::vector<uint8_t> cdb(12, 0);
  cdb[0] = kScsiMaintenanceIn;
  cdb[1] = 0x0C;  // REPORT SUPPORTED OPERATION CODES
  cdb[2] = 0x02;  // reporting options 010b: this opcode and service action
  cdb[3] = opcode;
  PutBe16(cdb, 4, serviceAction);
  PutBe16(cdb, 8, kOperationAnswerBytes);  // allocation length, bytes 6-9
  return In(std::move(cdb), kOperationAnswerBytes);
}

ScsiCommand ScsiSanitize(ScsiSanitizeAction action, uint32_t pattern) {
  ScsiCommand command;
  command.cdb.assign(10, 0);
  command.cdb[0] = kScsiSanitize;
  command.cdb[1] = static_cast<uint8_t>(0x80 | static_cast<uint8_t>(action));  // IMMED
  if (action == ScsiSanitizeAction::Overwrite) {
    // Parameter list: one pass (OVERWRITE COUNT 1), a 4-byte initialization pattern.
    command.dataOut = {0x01,
                       0x00,
                       0x00,
                       0x04,
                       static_cast<uint8_t>(pattern >> 24),
                       static_cast<uint8_t>(pattern >> 16),
                       static_cast<uint8_t>(pattern >> 8),
                       static_cast<uint8_t>(pattern)};
    PutBe16(command.cdb, 7, static_cast<uint32_t>(command.dataOut.size()));
    command.direction = ScsiDirection::ToDevice;
  }
  return command;
}

ScsiCommand ScsiFormatUnit() {
  ScsiCommand command;
  command.cdb.assign(6, 0);
  command.cdb[0] = kScsiFormatUnit;
  command.timeoutSeconds = 4 * 3600;
  return command;
}

ScsiCommand ScsiRequestSense() {
  std::vector<uint8_t> cdb(6, 0);
  cdb[0] = kScsiRequestSense;
  cdb[1] = 0x01;  // DESC
  cdb[4] = static_cast<uint8_t>(kSenseBytes);
  return In(std::move(cdb), kSenseBytes);
}

ScsiCommand ScsiModeSenseControlPage() {
  std::vector<uint8_t> cdb(10, 0);
  cdb[0] = kScsiModeSense10;
  cdb[1] = 0x08;  // DBD: no block descriptors
  cdb[2] = kControlModePage;
  PutBe16(cdb, 7, kModeSenseBytes);
  return In(std::move(cdb), kModeSenseBytes);
}

std::optional<ScsiCommand> ScsiSelectDescriptorSense(std::span<const uint8_t> modeSense) {
  // Mode parameter header (10): bytes 6-7 the block descriptor length; the page follows.
  if (modeSense.size() < 8) return std::nullopt;
  const size_t page = 8 + (size_t{modeSense[6]} << 8 | modeSense[7]);
  if (page + 3 > modeSense.size() || (modeSense[page] & 0x3F) != kControlModePage) {
    return std::nullopt;
  }
  const size_t pageBytes = size_t{modeSense[page + 1]} + 2;
  if (page + pageBytes > modeSense.size()) return std::nullopt;
  if ((modeSense[page + 2] & kDescriptorSenseBit) != 0) return std::nullopt;
  ScsiCommand command;
  command.dataOut.assign(8, 0);
  command.dataOut.insert(command.dataOut.end(), modeSense.begin() + static_cast<long>(page),
                         modeSense.begin() + static_cast<long>(page + pageBytes));
  command.dataOut[8] &= 0x3F;  // PS is reserved in MODE SELECT
  command.dataOut[10] |= kDescriptorSenseBit;
  command.cdb.assign(10, 0);
  command.cdb[0] = kScsiModeSelect10;
  command.cdb[1] = 0x10;  // PF; SP clear: not saved over a power cycle
  PutBe16(command.cdb, 7, static_cast<uint32_t>(command.dataOut.size()));
  command.direction = ScsiDirection::ToDevice;
  return command;
}

std::optional<uint8_t> ParsePeripheralType(std::span<const uint8_t> inquiry) {
  if (inquiry.empty()) return std::nullopt;
  return static_cast<uint8_t>(inquiry[0] & 0x1F);
}

CommandSupport ParseOperationSupport(std::span<const uint8_t> answer) {
  if (answer.size() < 2) return CommandSupport::Unknown;
  switch (answer[1] & 0x07) {
    case 0x1:
      return CommandSupport::NotSupported;
    case 0x3:
    case 0x5:
      return CommandSupport::Supported;
    default:
      return CommandSupport::Unknown;
  }
}

SenseData ParseSense(std::span<const uint8_t> sense) {
  SenseData data;
  if (sense.empty()) return data;
  const uint8_t code = sense[0] & 0x7F;
  if ((code == 0x72 || code == 0x73) && sense.size() >= 4) {
    data.valid = data.descriptor = true;
    data.key = sense[1] & 0x0F;
    data.asc = sense[2];
    data.ascq = sense[3];
    const size_t end = sense.size() >= 8 ? std::min(sense.size(), size_t{8} + sense[7]) : 0;
    for (size_t at = 8; at + 2 <= end; at += size_t{sense[at + 1]} + 2) {
      // Sense key specific descriptor (02h): byte 4 SKSV, bytes 5-6 the progress indicator.
      if (sense[at] == 0x02 && at + 7 <= end && (sense[at + 4] & 0x80) != 0) {
        data.progress = static_cast<uint16_t>(sense[at + 5] << 8 | sense[at + 6]);
      }
    }
  } else if ((code == 0x70 || code == 0x71) && sense.size() >= 3) {
    data.valid = true;
    data.key = sense[2] & 0x0F;
    if (sense.size() >= 14) {
      data.asc = sense[12];
      data.ascq = sense[13];
    }
    if (sense.size() >= 18 && (sense[15] & 0x80) != 0) {
      data.progress = static_cast<uint16_t>(sense[16] << 8 | sense[17]);
    }
  }
  return data;
}

bool IsSanitizeInProgress(const SenseData& sense) {
  return sense.valid && sense.asc == 0x04 && sense.ascq == 0x1B;
}

bool IsSanitizeFailed(const SenseData& sense) {
  return sense.valid && sense.asc == 0x31 && sense.ascq == 0x03;
}

bool IsUnsupportedCommand(const SenseData& sense) {
  return sense.valid && sense.key == kSenseIllegalRequest &&
         (sense.asc == 0x20 || sense.asc == 0x24);
}

std::wstring DescribeSense(const SenseData& sense) {
  if (!sense.valid) return L"no sense data";
  static constexpr const wchar_t* kKeys[16] = {
      L"NO SENSE",       L"RECOVERED ERROR", L"NOT READY",      L"MEDIUM ERROR",
      L"HARDWARE ERROR", L"ILLEGAL REQUEST", L"UNIT ATTENTION", L"DATA PROTECT",
      L"BLANK CHECK",    L"VENDOR SPECIFIC", L"COPY ABORTED",   L"ABORTED COMMAND",
      L"RESERVED",       L"VOLUME OVERFLOW", L"MISCOMPARE",     L"COMPLETED"};
  struct Known {
    uint8_t asc, ascq;
    const wchar_t* text;
  };
  static constexpr Known kKnown[] = {{0x00, 0x00, L"NO ADDITIONAL SENSE INFORMATION"},
                                     {0x00, 0x1D, L"ATA PASS THROUGH INFORMATION AVAILABLE"},
                                     {0x04, 0x1B, L"LOGICAL UNIT NOT READY, SANITIZE IN PROGRESS"},
                                     {0x20, 0x00, L"INVALID COMMAND OPERATION CODE"},
                                     {0x24, 0x00, L"INVALID FIELD IN CDB"},
                                     {0x26, 0x00, L"INVALID FIELD IN PARAMETER LIST"},
                                     {0x31, 0x03, L"SANITIZE COMMAND FAILED"}};
  std::wstring text = FormatPrintfW("sense key %Xh ", sense.key) + kKeys[sense.key] +
                      FormatPrintfW(", ASC/ASCQ %02Xh/%02Xh", sense.asc, sense.ascq);
  for (const Known& known : kKnown) {
    if (known.asc == sense.asc && known.ascq == sense.ascq) {
      text += std::wstring(L" (") + known.text + L")";
    }
  }
  return text;
}

}  // namespace tvde
