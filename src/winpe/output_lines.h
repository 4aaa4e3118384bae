#pragma once
// Cuts a tool's console output into lines as the bytes arrive.

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace tvde {

class OutputLineCutter {
 public:
  using LineSink = std::function<void(std::string_view line)>;

  explicit OutputLineCutter(LineSink sink) : sink_(std::move(sink)) {}

  // Takes the next received bytes. Zero bytes are dropped, so the ASCII text of a tool that
  // writes UTF-16 stays readable. Every line that ends with a line feed is passed on without the
  // line feed and without one carriage return before it; empty lines are never passed on.
  void Append(std::string_view bytes);

  // Passes on what follows the last line feed (a final line without terminator), if anything.
  void Finish();

 private:
  void Deliver(std::string_view line);

  LineSink sink_;
  std::string pending_;
};

}  // namespace tvde
