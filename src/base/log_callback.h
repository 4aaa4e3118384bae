#pragma once
// The log sink every long operation writes to: one line, no time stamp, no line end.

#include <functional>
#include <string>

namespace tvde {

using LogCallback = std::function<void(const std::wstring& line)>;

// Calls the sink when one is set; an empty callback is skipped.
inline void EmitLog(const LogCallback& log, const std::wstring& line) {
  if (log) log(line);
}

}  // namespace tvde
