// Text rules shared by every encoding of the stamp payload.
#include "stamp/stamp_texts.h"

#include <algorithm>
#include <cstring>

#include "base/text.h"
#include "hardware/hardware_fields.h"
#include "stamp/stamp_layout.h"

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

// At most `limit` bytes of UTF-8 text, cut before a character that would not fit whole.
void CutUtf8(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  size_t end = limit;
  while (end > 0 && (static_cast<uint8_t>(text[end]) & 0xC0) == 0x80)
    --end;
  text.resize(end);
}

struct RecordText {
  std::string text;
  bool freeText;  // typed by a person or reported by the hardware: may be cut to fit
};

}  // namespace

size_t FairShareLimit(std::vector<size_t> lengths, size_t budget) {
  std::sort(lengths.begin(), lengths.end());
  size_t left = budget;
  for (size_t i = 0; i < lengths.size(); ++i) {
    const size_t sharing = lengths.size() - i;
    if (lengths[i] > left / sharing) return left / sharing;
    left -= lengths[i];
  }
  return lengths.empty() ? 0 : lengths.back();
}

std::string_view StampStatusText(const StampPayload& payload) {
  // Only the erasing job's own stamp claims anything: verified when its verification ran and
  // passed, unverified when it was skipped. A stamp the operator wrote, a simulation's or any
  // other verdict claims no sanitization at all.
  if (payload.claim != StampClaim::ErasureOfThisDisk) return kStampStatusNotCertified;
  const std::wstring& verdict = payload.verification;
  if (verdict.starts_with(L"PASSED") && verdict.find(L"Simulation") == std::wstring::npos)
    return kStampStatusVerified;
  if (verdict.starts_with(L"SKIPPED")) return kStampStatusUnverified;
  return kStampStatusNotCertified;
}

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
  std::vector<RecordText> fields = {
      {RecordField(payload.certificateId), false},
      {RecordField(payload.sanitizationDate), false},
      {RecordField(payload.standardName), false},
      {RecordField(payload.verification), false},
      {RecordField(payload.diskModel), true},
      {RecordField(payload.diskSerial), true},
      {RecordField(payload.diskCapacity), true},
      {RecordField(payload.operatorName), true},
      {RecordField(payload.organizationName), true},
      {RecordField(payload.sha256Fingerprint), false},
      {std::to_string(payload.passesCompleted), false},
  };
  for (const HardwareFieldRef& field : kHardwareFields) {
    fields.push_back({RecordField(payload.hardware.*field.member), true});
  }

  // The tag, the separators and "END" always stay; the fields share what is left. A long name
  // would otherwise push the pass count and the hardware out of the record, and the disk would
  // read back as unstamped.
  const size_t frame = kStampRecordTagV2.size() + fields.size() + 1 + kStampRecordEnd.size();
  const size_t budget = kRecordMax - frame;
  size_t fixedBytes = 0;
  std::vector<size_t> freeLengths;
  for (const RecordText& field : fields) {
    if (field.freeText) {
      freeLengths.push_back(field.text.size());
    } else {
      fixedBytes += field.text.size();
    }
  }
  if (fixedBytes <= budget) {
    const size_t limit = FairShareLimit(freeLengths, budget - fixedBytes);
    for (RecordText& field : fields) {
      if (field.freeText) CutUtf8(field.text, limit);
    }
  } else {
    // Only a payload typed by hand gets here: then every field gives way alike.
    std::vector<size_t> lengths;
    for (const RecordText& field : fields)
      lengths.push_back(field.text.size());
    const size_t limit = FairShareLimit(lengths, budget);
    for (RecordText& field : fields)
      CutUtf8(field.text, limit);
  }

  std::string record(kStampRecordTagV2);
  for (const RecordText& field : fields) {
    record.push_back('|');
    record += field.text;
  }
  record.push_back('|');
  record += kStampRecordEnd;
  return record;
}

std::string BuildMbrMessage(const StampPayload& payload) {
  return "\r\n[TOREVAL DISK ERASER] " + std::string(StampStatusText(payload)) +
         ". Cert: " + ToPrintableAscii(payload.certificateId) + "\r\n";
}

}  // namespace tvde
