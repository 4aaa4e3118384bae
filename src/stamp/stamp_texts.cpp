// Text rules shared by every encoding of the stamp payload.
#include "stamp/stamp_texts.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "hardware/hardware_fields.h"

namespace tvde {
namespace {

// A record field can never contain the separator or end the line early.
std::string RecordField(const std::wstring& text) {
  std::string utf8 = WideToUtf8(text);
  for (char& c : utf8) {
    if (c == '|' || c == '\r' || c == '\n') c = ' ';
  }
  return utf8;
}

}  // namespace

std::wstring StampStateLabel(PostEraseState postEraseState, ExecutionMode executionMode) {
  if (postEraseState == PostEraseState::PureZero) return kStampStatePureZero;
  // Anything but a real write is reported as a dry run: never claim a stamp that is not there.
  if (executionMode == ExecutionMode::RealWrite) return kStampStateActive;
  return kStampStateSimulation;
}

std::string ToPrintableAscii(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (const wchar_t unit : text) {
    if (unit >= L'\x20' && unit <= L'\x7E') {
      out.push_back(static_cast<char>(unit));
    } else if (unit == L'\u3000') {
      out.push_back(' ');
    }
  }
  return out;
}

void CopyFixedField(std::span<uint8_t> destination, std::string_view text) {
  if (destination.empty()) return;
  std::fill(destination.begin(), destination.end(), uint8_t{0});
  const size_t count = std::min(text.size(), destination.size() - 1);
  for (size_t i = 0; i < count; ++i) {
    const auto byte = static_cast<uint8_t>(text[i]);
    destination[i] = (byte >= 0x20 && byte <= 0x7E) ? byte : uint8_t{'?'};
  }
}

std::string FitReportLine(std::string_view line) {
  return std::string(line.substr(0, std::min(line.size(), kReportLineMax)));
}

std::string BuildStampRecord(const StampPayload& payload) {
  std::string record(kStampRecordTagV2);
  const auto add = [&record](const std::string& field) {
    record.push_back('|');
    record += field;
  };
  add(RecordField(payload.certificateId));
  add(RecordField(payload.sanitizationDate));
  add(RecordField(payload.standardName));
  add(RecordField(payload.verification));
  add(RecordField(payload.diskModel));
  add(RecordField(payload.diskSerial));
  add(RecordField(payload.diskCapacity));
  add(RecordField(payload.operatorName));
  add(RecordField(payload.organizationName));
  add(RecordField(payload.sha256Fingerprint));
  add(std::to_string(payload.passesCompleted));
  for (const HardwareFieldRef& field : kHardwareFields) {
    add(RecordField(payload.hardware.*field.member));
  }
  add(std::string(kStampRecordEnd));
  return record;
}

std::string BuildMbrMessage(const StampPayload& payload) {
  return "\r\n[TOREVAL DISK ERASER] SANITIZED & VERIFIED. Cert: " +
         ToPrintableAscii(payload.certificateId) + "\r\n";
}

}  // namespace tvde
