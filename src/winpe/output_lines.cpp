// Line cutting of tool output: line feed ends a line, one carriage return before it is dropped.
#include "winpe/output_lines.h"

namespace tvde {

void OutputLineCutter::Append(std::string_view bytes) {
  const size_t searchFrom = pending_.size();  // the text before holds no line feed
  for (const char byte : bytes) {
    if (byte != '\0') pending_.push_back(byte);
  }
  size_t lineStart = 0;
  for (size_t end = pending_.find('\n', searchFrom); end != std::string::npos;
       end = pending_.find('\n', lineStart)) {
    Deliver(std::string_view(pending_).substr(lineStart, end - lineStart));
    lineStart = end + 1;
  }
  pending_.erase(0, lineStart);
}

void OutputLineCutter::Finish() {
  Deliver(pending_);
  pending_.clear();
}

void OutputLineCutter::Deliver(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (!line.empty() && sink_) sink_(line);
}

}  // namespace tvde
