// A reader for the one-member-per-line JSON files of the reports and signatures.
#include "report/json_lines.h"

#include "base/text.h"

namespace tvde {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadHex4(std::string_view text, size_t at, uint32_t& value) {
  if (text.size() - at < 4) return false;
  value = 0;
  for (size_t i = 0; i < 4; ++i) {
    const int digit = HexValue(text[at + i]);
    if (digit < 0) return false;
    value = (value << 4) | static_cast<uint32_t>(digit);
  }
  return true;
}

// A JSON string starting at text[at] == '"'; `at` ends after the closing quotation mark.
bool ReadString(std::string_view text, size_t& at, std::string& out) {
  out.clear();
  if (at >= text.size() || text[at] != '"') return false;
  for (++at; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '"') {
      ++at;
      return true;
    }
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (++at >= text.size()) return false;
    switch (text[at]) {
      case '"':
        out.push_back('"');
        break;
      case '\\':
        out.push_back('\\');
        break;
      case '/':
        out.push_back('/');
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'u': {
        uint32_t unit = 0;
        if (!ReadHex4(text, at + 1, unit)) return false;
        at += 4;
        uint32_t low = 0;
        if (unit >= 0xD800 && unit <= 0xDBFF && text.substr(at + 1, 2) == "\\u" &&
            ReadHex4(text, at + 3, low) && low >= 0xDC00 && low <= 0xDFFF) {
          unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          at += 6;
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) return false;  // an unpaired surrogate
        if (unit == 0) return false;                         // would cut the text short
        AppendUtf8(out, unit);
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

}  // namespace

bool ReadJsonLines(std::string_view utf8, std::vector<JsonLineMember>& members,
                   std::string& error) {
  members.clear();
  std::vector<std::string> open;  // names of the objects around the current line
  bool started = false;
  bool ended = false;
  size_t lineNumber = 0;
  for (size_t start = 0; start < utf8.size();) {
    size_t end = utf8.find('\n', start);
    if (end == std::string_view::npos) end = utf8.size();
    std::string_view line = utf8.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    const auto fail = [&](const std::string& why) {
      error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    };
    const size_t indent = line.find_first_not_of(' ');
    if (indent == std::string_view::npos) return fail("empty line");
    line.remove_prefix(indent);
    if (ended) return fail("text after the end of the object");
    if (!started) {
      if (line != "{") return fail("the text does not start with an object");
      started = true;
      continue;
    }
    if (line == "}" || line == "},") {
      if (open.empty()) {
        ended = true;
      } else {
        open.pop_back();
      }
      continue;
    }
    size_t at = 0;
    std::string name;
    if (!ReadString(line, at, name) || line.substr(at, 2) != ": ") {
      return fail("expected \"name\": value");
    }
    at += 2;
    std::string prefix;
    for (const std::string& outer : open)
      prefix += outer + ".";
    if (line.substr(at) == "{") {
      open.push_back(name);
      continue;
    }
    JsonLineMember member;
    member.path = prefix + name;
    std::string value;
    if (at < line.size() && line[at] == '"') {
      if (!ReadString(line, at, value)) return fail("a string value that is not valid JSON");
      member.isString = true;
    } else {
      const size_t comma = line.find(',', at);
      value =
          std::string(line.substr(at, comma == std::string_view::npos ? line.npos : comma - at));
      at += value.size();
      if (value.empty()) return fail("a member without a value");
    }
    if (at != line.size() && line.substr(at) != ",") return fail("unexpected text after a value");
    member.value = Utf8ToWide(value);
    if (member.value.empty() && !value.empty()) return fail("a value that is not valid UTF-8");
    members.push_back(std::move(member));
  }
  if (!ended) {
    error = "the object is not closed";
    return false;
  }
  return true;
}

const std::wstring* FindJsonString(const std::vector<JsonLineMember>& members,
                                   std::string_view path) {
  for (const JsonLineMember& member : members) {
    if (member.isString && member.path == path) return &member.value;
  }
  return nullptr;
}

}  // namespace tvde
