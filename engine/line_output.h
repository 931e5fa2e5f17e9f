#pragma once
// Where the engine's protocol lines go: standard output, one UTF-8 line per write, nothing else.

#include <string_view>

namespace tidvale::engine {

class LineOutput {
 public:
  virtual ~LineOutput() = default;
  // Writes `line` and a "\n". Calls are already serialized by writeLine.
  virtual void writeLine(std::string_view line) = 0;
};

// Any thread: writes one protocol line under the process-wide output lock. A missing or broken
// standard output drops the line silently.
void writeLine(std::string_view line);

// Redirects every later line to `output` (null: back to standard output). For tests.
void setLineOutputForTesting(LineOutput* output);

}  // namespace tidvale::engine
