// Encoding rule shared by the Windows and POSIX report file writers.
#include "report/utf8_file.h"

#include "base/text.h"

namespace tvde {

bool EncodeUtf8FileContent(std::wstring_view text, std::string& bytes) {
  bytes = WideToUtf8(text);
  // WideToUtf8 answers an empty string for text it cannot encode; a text that does not start
  // with its terminator must not become an empty file.
  return !(bytes.empty() && !text.empty() && text.front() != L'\0');
}

}  // namespace tvde
