#pragma once
// A small INI document with the lookup rules of the Windows profile functions (sections and
// keys compared without regard to ASCII case, values trimmed and unquoted), used for the
// settings file of the POSIX build. Lines it does not change are kept as they were.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvde {

class IniDocument {
 public:
  // UTF-8 text; a leading UTF-8 byte-order mark is dropped; CR LF and LF line ends.
  static IniDocument Parse(std::string_view text);

  // The value of the first matching key in the first matching section.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;

  // Replaces the key's line, or adds the key at the end of its section, or adds the section.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  // LF line ends, ending with a line end.
  std::string Serialize() const;

 private:
  struct Line {
    std::string text;
    std::string section;  // section the line belongs to (lines before any header: "")
    bool isHeader = false;
    bool isKey = false;
    std::string key;
    std::string value;
  };
  static Line Classify(std::string text, const std::string& currentSection);

  std::vector<Line> lines_;
};

}  // namespace tvde
