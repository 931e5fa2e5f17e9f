#include "engine/line_output.h"

#include <windows.h>

#include <mutex>
#include <string>

namespace tidvale::engine {
namespace {

// Looks the handle up on every line: the host may reopen its standard streams at start-up.
class StandardOutput final : public LineOutput {
 public:
  void writeLine(std::string_view line) override {
    const HANDLE handle = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    std::string bytes;
    bytes.reserve(line.size() + 1);
    bytes.append(line);
    bytes += '\n';
    const char* next = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
      const DWORD chunk = left > MAXDWORD ? MAXDWORD : static_cast<DWORD>(left);
      DWORD written = 0;
      if (!::WriteFile(handle, next, chunk, &written, nullptr) || written == 0) return;
      next += written;
      left -= written;
    }
  }
};

struct OutputState {
  std::mutex lock;
  StandardOutput standard;
  LineOutput* current = &standard;
};

// Never destroyed: detached engine threads may still write while the process exits.
OutputState& state() {
  static OutputState* const instance = new OutputState;
  return *instance;
}

}  // namespace

void writeLine(std::string_view line) {
  OutputState& s = state();
  std::lock_guard guard(s.lock);
  s.current->writeLine(line);
}

void setLineOutputForTesting(LineOutput* output) {
  OutputState& s = state();
  std::lock_guard guard(s.lock);
  s.current = output ? output : &s.standard;
}

}  // namespace tidvale::engine
