// INI parsing and editing for the POSIX settings file.
#include "settings/ini_document.h"

namespace tvde {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
    text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.remove_suffix(1);
  return text;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

IniDocument::Line IniDocument::Classify(std::string text, const std::string& currentSection) {
  Line line;
  const std::string_view trimmed = Trim(text);
  if (!trimmed.empty() && trimmed.front() == '[') {
    const size_t close = trimmed.find(']');
    line.isHeader = true;
    line.section = std::string(Trim(
        trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
  } else {
    line.section = currentSection;
    const size_t equals = trimmed.find('=');
    if (equals != std::string_view::npos) {
      line.isKey = true;
      line.key = std::string(Trim(trimmed.substr(0, equals)));
      std::string_view value = Trim(trimmed.substr(equals + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      line.value = std::string(value);
    }
  }
  line.text = std::move(text);
  return line;
}

IniDocument IniDocument::Parse(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  IniDocument doc;
  std::string section;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string lineText(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!lineText.empty() && lineText.back() == '\r') lineText.pop_back();
    Line line = Classify(std::move(lineText), section);
    section = line.section;
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  // The profile functions use the first section of a name and the first key in it.
  bool seenSection = false;
  for (const Line& line : lines_) {
    if (line.isHeader && EqualsFolded(line.section, section) && !seenSection) {
      seenSection = true;
      continue;
    }
    if (line.isHeader && seenSection) break;
    if (seenSection && line.isKey && EqualsFolded(line.key, key)) return line.value;
  }
  return std::nullopt;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  std::string text;
  text.append(key).append("=").append(value);
  size_t header = lines_.size();
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].isHeader && EqualsFolded(lines_[i].section, section)) {
      header = i;
      break;
    }
  }
  if (header == lines_.size()) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Classify("", ""));
    std::string headerText;
    headerText.append("[").append(section).append("]");
    lines_.push_back(Classify(std::move(headerText), ""));
    lines_.push_back(Classify(text, std::string(section)));
    return;
  }
  const std::string name = lines_[header].section;
  size_t insertAt = header + 1;
  for (size_t i = header + 1; i < lines_.size() && !lines_[i].isHeader; ++i) {
    if (lines_[i].isKey && EqualsFolded(lines_[i].key, key)) {
      lines_[i] = Classify(text, name);
      return;
    }
    if (!Trim(lines_[i].text).empty()) insertAt = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), Classify(text, name));
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += '\n';
  }
  return out;
}

}  // namespace tvde
