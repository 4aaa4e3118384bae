#pragma once
// Reads back the JSON files this program writes: one object, one member per line, nested
// objects opened on their member's line. Spacing and order are not checked here; readers
// compare what they read, written out again, with the file.

#include <string>
#include <string_view>
#include <vector>

namespace tvde {

struct JsonLineMember {
  std::string path;    // member names from the top, joined by "." ("sanitization.standard")
  std::wstring value;  // a string value decoded, anything else (number, null) as written
  bool isString = false;
};

// False, with the line number and the reason, at anything that is not such a file.
bool ReadJsonLines(std::string_view utf8, std::vector<JsonLineMember>& members, std::string& error);

// The value of `path`, or null when the text has no such string member.
const std::wstring* FindJsonString(const std::vector<JsonLineMember>& members,
                                   std::string_view path);

}  // namespace tvde
