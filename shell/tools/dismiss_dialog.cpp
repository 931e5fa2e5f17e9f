// dismiss_dialog [PID|PROGRAM [SECONDS [FOLDER]]]
// Waits up to SECONDS (default 30) for a dialog window (class "#32770") of process PID, or of a
// process whose executable is named PROGRAM (as Tidvale.exe, any case), or, when the first
// argument is absent or 0, of any process. Cancels it, or, given FOLDER, types FOLDER into its
// file-name box and presses Open. Then waits, within the same time, for the dialog to close.
// Used by end-to-end tests to answer the folder chooser of a running Tidvale.exe.
// Exit code: 0 when a dialog was found and closed, 1 when none was, 2 for bad arguments.

#include <windows.h>

#include <shellapi.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <string>

#include "shell/tools/dialog_dismissal.h"
#include "win/text.h"
#include "win/unique_resource.h"

namespace {

constexpr int kExitDismissed = 0;
constexpr int kExitNoDialog = 1;
constexpr int kExitUsage = 2;
constexpr int kMaxArguments = 4;  // the program and three arguments
constexpr unsigned long long kDefaultSeconds = 30;
constexpr unsigned long long kMaxSeconds = 24 * 60 * 60;
constexpr char kUsage[] = "usage: dismiss_dialog [PID|PROGRAM [SECONDS [FOLDER]]]\n";

// A whole decimal number with nothing around it.
bool parseNumber(const std::wstring& text, unsigned long long& value) {
  const std::string narrow = tidvale::win::toUtf8(text);
  const char* end = narrow.data() + narrow.size();
  const auto [last, error] = std::from_chars(narrow.data(), end, value);
  return error == std::errc{} && last == end && !narrow.empty();
}

bool startsWithDigit(const std::wstring& text) {
  return !text.empty() && text.front() >= L'0' && text.front() <= L'9';
}

int usage() {
  std::fputs(kUsage, stderr);
  return kExitUsage;
}

}  // namespace

int main() {
  using tidvale::shell::DialogOwner;
  int argc = 0;
  const tidvale::win::UniqueArgv argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
  if (!argv || argc > kMaxArguments) return usage();

  DialogOwner owner;
  if (argc > 1) {
    const std::wstring first = argv.get()[1];
    unsigned long long processId = 0;
    if (!startsWithDigit(first)) {
      if (first.empty()) return usage();
      owner = DialogOwner::program(first);
    } else if (!parseNumber(first, processId) || processId > MAXDWORD) {
      return usage();
    } else {
      owner = DialogOwner::process(static_cast<DWORD>(processId));
    }
  }
  unsigned long long seconds = kDefaultSeconds;
  if (argc > 2 && (!parseNumber(argv.get()[2], seconds) || seconds > kMaxSeconds)) return usage();

  const std::chrono::seconds timeout(seconds);
  const bool closed = argc > 3 ? tidvale::shell::chooseInDialog(owner, argv.get()[3], timeout)
                               : tidvale::shell::dismissDialog(owner, timeout);
  return closed ? kExitDismissed : kExitNoDialog;
}
