// dismiss_dialog [PID [SECONDS]]
// Waits up to SECONDS (default 30) for a dialog window (class "#32770") of process PID (absent or
// 0: any process), cancels it and waits for it to close. Used by end-to-end tests to answer the
// folder chooser of a running Tidvale.exe.
// Exit code: 0 when a dialog was found and closed, 1 when none was, 2 for bad arguments.

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "shell/tools/dialog_dismissal.h"

namespace {

constexpr int kExitDismissed = 0;
constexpr int kExitNoDialog = 1;
constexpr int kExitUsage = 2;
constexpr unsigned kDefaultSeconds = 30;
constexpr unsigned kMaxSeconds = 24 * 60 * 60;
constexpr char kUsage[] = "usage: dismiss_dialog [PID [SECONDS]]\n";

// A whole decimal number with nothing after it.
bool parseNumber(const char* text, unsigned long long& value) {
  const char* end = text + std::strlen(text);
  const auto [last, error] = std::from_chars(text, end, value);
  return error == std::errc{} && last == end && last != text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  unsigned long long processId = 0;
  unsigned long long seconds = kDefaultSeconds;
  if ((argc > 1 && !parseNumber(argv[1], processId)) ||
      (argc > 2 && !parseNumber(argv[2], seconds)) || processId > MAXDWORD ||
      seconds > kMaxSeconds) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const bool dismissed =
      tidvale::shell::dismissDialog(static_cast<DWORD>(processId), std::chrono::seconds(seconds));
  return dismissed ? kExitDismissed : kExitNoDialog;
}
