#pragma once
// The hand-over of protocol input from the reading thread to the platform thread. Commands keep
// their input order; the platform thread learns of them through a message posted to the view.

#include <windows.h>

#include <optional>
#include <string_view>
#include <variant>

#include "engine/protocol.h"

namespace tidvale::engine {

using InputCommand = std::variant<SendCommand, QuitCommand>;

// Posted to the attached view window whenever a command is queued.
inline constexpr UINT kDeliverInputMessage = WM_APP + 0x41;

// Lines longer than this are refused whole rather than buffered.
inline constexpr size_t kMaxInputLineBytes = size_t{64} << 20;

// Any thread: parses one line. A malformed line is answered with an error line at once; a
// command is queued for the platform thread. After a quit, later lines are ignored.
void submitInputLine(std::string_view line);

// Any thread: end of input, which acts as a quit.
void submitEndOfInput();

// Platform thread: makes `view` the receiver of queued commands (posting at once if some are
// waiting).
void attachInputTarget(HWND view);

// Platform thread: starts reading standard input, once per process, unless disabled for tests or
// the process has no standard input at all. Called after the first frame, so every line the
// engine writes in answer to input comes after the start-up lines.
void startStandardInputReader();

// Platform thread: stops posting to `view` if it is the receiver. Queued commands stay queued.
void detachInputTarget(HWND view);

// Platform thread: the oldest queued command, if any.
std::optional<InputCommand> takeInputCommand();

// Tests drive input through submitInputLine and must not read the test runner's stdin. Also
// forgets an earlier quit so each test starts with an open input.
void resetInputForTesting(bool standardInputReader);

}  // namespace tidvale::engine
