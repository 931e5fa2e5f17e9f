#include "shell/tools/dialog_dismissal.h"

#include <cwchar>
#include <iterator>

namespace tidvale::shell {

namespace {

struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  // One unit more than the class name, so a longer name cannot match by its prefix.
  wchar_t className[std::size(kDialogWindowClass) + 1] = {};
  if (::GetClassNameW(window, className, static_cast<int>(std::size(className))) == 0) {
    return TRUE;
  }
  if (std::wcscmp(className, kDialogWindowClass) != 0) return TRUE;
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (search->processId != 0 && owner != search->processId) return TRUE;
  search->found = window;
  return FALSE;
}

void postCancel(HWND dialog) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

}  // namespace

HWND findDialog(DWORD processId) {
  DialogSearch search{processId, nullptr};
  ::EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool dismissDialog(DWORD processId, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  HWND dialog = nullptr;
  auto lastPost = Clock::time_point{};
  for (;;) {
    const auto now = Clock::now();
    if (dialog == nullptr) {
      dialog = findDialog(processId);
      if (dialog != nullptr) {
        postCancel(dialog);
        lastPost = now;
      }
    } else if (!::IsWindow(dialog)) {
      return true;
    } else if (now - lastPost >= kDialogRepostInterval) {
      postCancel(dialog);
      lastPost = now;
    }
    if (now >= deadline) return false;
    ::Sleep(static_cast<DWORD>(kDialogPollInterval.count()));
  }
}

}  // namespace tidvale::shell
