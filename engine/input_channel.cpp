#include "engine/input_channel.h"

#include <deque>
#include <mutex>

#include "engine/line_output.h"
#include "engine/line_splitter.h"
#include "win/detached_thread.h"

namespace tidvale::engine {
namespace {

constexpr DWORD kReadChunkBytes = 64 * 1024;

struct InputState {
  std::mutex lock;
  std::deque<InputCommand> queue;
  HWND target = nullptr;
  bool quitSeen = false;
  bool readerEnabled = true;
  bool readerStarted = false;
};

// Never destroyed: the reader thread is detached and may outlive static destruction.
InputState& state() {
  static InputState* const instance = new InputState;
  return *instance;
}

void enqueue(InputCommand command) {
  InputState& s = state();
  std::lock_guard guard(s.lock);
  if (s.quitSeen) return;
  if (std::holds_alternative<QuitCommand>(command)) s.quitSeen = true;
  s.queue.push_back(std::move(command));
  if (s.target) ::PostMessageW(s.target, kDeliverInputMessage, 0, 0);
}

bool quitSeen() {
  InputState& s = state();
  std::lock_guard guard(s.lock);
  return s.quitSeen;
}

// Runs on its own detached thread until end of input or a quit. A blocking ReadFile cannot be
// interrupted portably, so the thread simply ends with the process.
void readStandardInput(HANDLE input) {
  LineSplitter splitter(kMaxInputLineBytes, submitInputLine, [] {
    writeLine(errorLine("line longer than " + std::to_string(kMaxInputLineBytes) + " bytes"));
  });
  std::string buffer(kReadChunkBytes, '\0');
  while (!quitSeen()) {
    DWORD got = 0;
    if (!::ReadFile(input, buffer.data(), kReadChunkBytes, &got, nullptr) || got == 0) break;
    splitter.feed(std::string_view(buffer.data(), got));
  }
  splitter.finish();
  submitEndOfInput();
}

}  // namespace

void submitInputLine(std::string_view line) {
  InputLine parsed = parseInputLine(line);
  if (auto* error = std::get_if<InputError>(&parsed)) {
    if (!quitSeen()) writeLine(errorLine(error->message));
    return;
  }
  if (auto* send = std::get_if<SendCommand>(&parsed)) {
    enqueue(std::move(*send));
  } else {
    enqueue(QuitCommand{});
  }
}

void submitEndOfInput() {
  enqueue(QuitCommand{});
}

void attachInputTarget(HWND view) {
  InputState& s = state();
  std::lock_guard guard(s.lock);
  s.target = view;
  if (!s.queue.empty()) ::PostMessageW(view, kDeliverInputMessage, 0, 0);
}

void startStandardInputReader() {
  InputState& s = state();
  {
    std::lock_guard guard(s.lock);
    if (!s.readerEnabled || s.readerStarted) return;
    s.readerStarted = true;
  }
  // A program started without any standard input is not being driven: it runs until closed.
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  if (input == nullptr || input == INVALID_HANDLE_VALUE) return;
  win::startDetachedThread([input] { readStandardInput(input); });
}

void detachInputTarget(HWND view) {
  InputState& s = state();
  std::lock_guard guard(s.lock);
  if (s.target == view) s.target = nullptr;
}

std::optional<InputCommand> takeInputCommand() {
  InputState& s = state();
  std::lock_guard guard(s.lock);
  if (s.queue.empty()) return std::nullopt;
  InputCommand command = std::move(s.queue.front());
  s.queue.pop_front();
  return command;
}

void resetInputForTesting(bool standardInputReader) {
  InputState& s = state();
  std::lock_guard guard(s.lock);
  s.queue.clear();
  s.quitSeen = false;
  s.readerEnabled = standardInputReader;
}

}  // namespace tidvale::engine
