// Reading and printing payloads as key=value lines.
#include "cli_payload.h"

#include <array>
#include <charconv>
#include <cstdint>

#include "base/text.h"
#include "cli_command.h"
#include "hardware/hardware_fields.h"
#include "report/report_labels.h"
#include "stamp/stamp_texts.h"

namespace tvde::cli {
namespace {

struct TextField {
  const char* name;
  std::wstring StampPayload::*member;
};

constexpr std::array<TextField, 12> kTextFields = {{
    {"certificateId", &StampPayload::certificateId},
    {"sanitizationDate", &StampPayload::sanitizationDate},
    {"softwareVersion", &StampPayload::softwareVersion},
    {"standardName", &StampPayload::standardName},
    {"verification", &StampPayload::verification},
    {"diskModel", &StampPayload::diskModel},
    {"diskSerial", &StampPayload::diskSerial},
    {"diskCapacity", &StampPayload::diskCapacity},
    {"operatorName", &StampPayload::operatorName},
    {"organizationName", &StampPayload::organizationName},
    {"sha256Fingerprint", &StampPayload::sha256Fingerprint},
    {"stampState", &StampPayload::stampState},
}};

constexpr std::string_view kHardwarePrefix = "hardware.";

// 'text', built by appending (GCC 12 warns falsely on "'" + std::string(...)).
std::string Quoted(std::string_view text) {
  std::string out(1, '\'');
  out.append(text);
  out += '\'';
  return out;
}

bool ParseInt32(std::string_view text, int32_t& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ToWide(std::string_view value, std::wstring& wide, std::string& error) {
  for (char c : value) {
    if (c == '\0' || c == '\r' || c == '\n') {
      error = "values may not contain zero bytes or line breaks";
      return false;
    }
  }
  wide = Utf8ToWide(value);
  if (wide.empty() && !value.empty()) {
    error = "value is not valid UTF-8";
    return false;
  }
  return true;
}

std::string Trim(std::string_view text) {
  const size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(" \t");
  return std::string(text.substr(begin, end - begin + 1));
}

// A stamp read from a disk is anyone's text: control characters (which a terminal would obey)
// and the marks that reorder or break lines are shown as escapes instead.
std::string Printable(const std::wstring& value) {
  const std::string text = WideToUtf8(value);
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto next = [&text, i](size_t n) { return static_cast<unsigned char>(text[i + n]); };
    switch (UnsafeSequenceLength(text, i)) {
      case 1:
        shown += FormatPrintf("\\x%02X", next(0));
        break;
      case 2:
        shown += FormatPrintf("\\x%02X", next(1));
        ++i;
        break;
      case 3:
        shown += FormatPrintf("\\u%04X", ((next(1) & 0x3Fu) << 6 | (next(2) & 0x3Fu)) + 0x2000u);
        i += 2;
        break;
      default:
        shown += text[i];
    }
  }
  return shown;
}

// A stamp has no place for these three: it always reads back as a complete report with the
// active stamp state and this program's version. Any other value would be lost on the way.
bool StorableInStamp(const StampPayload& payload, std::string_view key, std::string& error) {
  std::string kept;
  if (key == "incomplete" && payload.incomplete != 0) {
    kept = "0";
  } else if (key == "stampState" && payload.stampState != kStampStateActive) {
    kept = WideToUtf8(kStampStateActive);
  } else if (key == "softwareVersion" && payload.softwareVersion != ProductSuiteText()) {
    kept = WideToUtf8(ProductSuiteText());
  } else {
    return true;
  }
  error = Quoted(key) + " cannot be stored in a stamp, which always reads back with " +
          std::string(key) + "=" + kept;
  return false;
}

}  // namespace

std::vector<std::string> PayloadKeys() {
  std::vector<std::string> keys{"incomplete"};
  for (const TextField& field : kTextFields)
    keys.emplace_back(field.name);
  keys.emplace_back("passesCompleted");
  for (const HardwareFieldRef& field : kHardwareFields) {
    keys.push_back(std::string(kHardwarePrefix) + field.name);
  }
  return keys;
}

bool SetPayloadField(StampPayload& payload, std::string_view key, std::string_view value,
                     std::string& error) {
  if (key == "incomplete" || key == "passesCompleted") {
    int32_t number = 0;
    if (!ParseInt32(value, number)) {
      error = Quoted(key) + " needs a whole number, not " + Quoted(value);
      return false;
    }
    if (number < 0) {  // no job completes fewer than no passes
      error = Quoted(key) + " needs a whole number from 0 to 2147483647, not " + Quoted(value);
      return false;
    }
    (key == "incomplete" ? payload.incomplete : payload.passesCompleted) = number;
    return true;
  }
  std::wstring* target = nullptr;
  for (const TextField& field : kTextFields) {
    if (key == field.name) target = &(payload.*field.member);
  }
  if (key.substr(0, kHardwarePrefix.size()) == kHardwarePrefix) {
    for (const HardwareFieldRef& field : kHardwareFields) {
      if (key.substr(kHardwarePrefix.size()) == field.name)
        target = &(payload.hardware.*field.member);
    }
  }
  if (target == nullptr) {
    error = "unknown key " + Quoted(key);
    return false;
  }
  std::string why;
  if (!ToWide(value, *target, why)) {
    error = Quoted(key) + ": " + why;
    return false;
  }
  return true;
}

bool ApplyFieldAssignment(StampPayload& payload, std::string_view assignment,
                          std::set<std::string>& seenKeys, const std::string& where,
                          std::string& error) {
  const size_t equals = assignment.find('=');
  if (equals == std::string_view::npos) {
    error = where + ": expected key=value, got " + Quoted(assignment);
    return false;
  }
  // A key is one of the names, exactly: blanks around it make another (unknown) key.
  const std::string key(assignment.substr(0, equals));
  if (!seenKeys.insert(key).second) {
    error = where + ": key '" + key + "' is given twice";
    return false;
  }
  std::string why;
  if (!SetPayloadField(payload, key, assignment.substr(equals + 1), why) ||
      !StorableInStamp(payload, key, why)) {
    error = where + ": " + why;
    return false;
  }
  return true;
}

bool ApplyPayloadText(StampPayload& payload, std::string_view text, const std::string& fileName,
                      std::string& error) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::set<std::string> seen;
  size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    const std::string where = fileName + " line " + std::to_string(lineNumber);
    if (!ApplyFieldAssignment(payload, line, seen, where, error)) return false;
  }
  return true;
}

std::string FormatPayload(const StampPayload& payload) {
  std::string out = "incomplete=" + std::to_string(payload.incomplete) + "\n";
  for (const TextField& field : kTextFields) {
    out += std::string(field.name) + "=" + Printable(payload.*field.member) + "\n";
  }
  out += "passesCompleted=" + std::to_string(payload.passesCompleted) + "\n";
  for (const HardwareFieldRef& field : kHardwareFields) {
    out += std::string(kHardwarePrefix) + field.name + "=" +
           Printable(payload.hardware.*field.member) + "\n";
  }
  return out;
}

}  // namespace tvde::cli
