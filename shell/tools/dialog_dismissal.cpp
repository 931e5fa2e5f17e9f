#include "shell/tools/dialog_dismissal.h"

#include <dlgs.h>

#include <cwchar>
#include <iterator>

namespace tidvale::shell {

namespace {

constexpr wchar_t kEditWindowClass[] = L"Edit";

// Whether `window`'s class is exactly `expected`.
template <std::size_t N>
bool hasClass(HWND window, const wchar_t (&expected)[N]) {
  // One unit more than the expected name, so a longer name cannot match by its prefix.
  wchar_t className[N + 1] = {};
  if (::GetClassNameW(window, className, static_cast<int>(std::size(className))) == 0) {
    return false;
  }
  return std::wcscmp(className, expected) == 0;
}

struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  if (!hasClass(window, kDialogWindowClass)) return TRUE;
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (search->processId != 0 && owner != search->processId) return TRUE;
  search->found = window;
  return FALSE;
}

struct EditSearch {
  HWND named;  // the box with the standard file-name control id
  HWND first;  // else the first visible edit box
};

BOOL CALLBACK matchEdit(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<EditSearch*>(context);
  if (!hasClass(window, kEditWindowClass) || !::IsWindowVisible(window)) return TRUE;
  if (::GetDlgCtrlID(window) == edt1) {
    search->named = window;
    return FALSE;
  }
  if (search->first == nullptr) search->first = window;
  return TRUE;
}

HWND findNameBox(HWND dialog) {
  EditSearch search{nullptr, nullptr};
  ::EnumChildWindows(dialog, matchEdit, reinterpret_cast<LPARAM>(&search));
  return search.named != nullptr ? search.named : search.first;
}

void postCommand(HWND dialog, int command) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
}

// Types `folder` into the file-name box and presses the default button. false when there is
// no box yet or the dialog does not take the text.
bool postChoice(HWND dialog, const std::wstring& folder) {
  const HWND box = findNameBox(dialog);
  if (box == nullptr) return false;
  DWORD_PTR result = 0;
  if (::SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()),
                            SMTO_ABORTIFHUNG, static_cast<UINT>(kDialogSendTimeout.count()),
                            &result) == 0) {
    return false;
  }
  postCommand(dialog, IDOK);
  return true;
}

// Finds the dialog and answers it with `answer`, which returns false when the dialog is not ready
// for it yet (it is then tried again). A cancel may be repeated harmlessly; a choice is made only
// once, since a refused folder would raise a new message box each time. Returns when the dialog
// is gone after an answer, or when the time is up.
template <typename Answer>
bool answerDialog(DWORD processId, std::chrono::milliseconds timeout, bool repeat, Answer answer) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  HWND dialog = nullptr;
  bool answered = false;
  auto lastAnswer = Clock::time_point{};
  for (;;) {
    const auto now = Clock::now();
    if (dialog == nullptr) dialog = findDialog(processId);
    if (dialog != nullptr) {
      if (!::IsWindow(dialog)) {
        if (answered) return true;
        dialog = nullptr;  // closed by someone else: wait for the next one
      } else if (!answered || (repeat && now - lastAnswer >= kDialogRepostInterval)) {
        if (answer(dialog)) {
          answered = true;
          lastAnswer = now;
        }
      }
    }
    if (now >= deadline) return false;
    ::Sleep(static_cast<DWORD>(kDialogPollInterval.count()));
  }
}

}  // namespace

HWND findDialog(DWORD processId) {
  DialogSearch search{processId, nullptr};
  ::EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool dismissDialog(DWORD processId, std::chrono::milliseconds timeout) {
  return answerDialog(processId, timeout, true, [](HWND dialog) {
    postCommand(dialog, IDCANCEL);
    return true;
  });
}

bool chooseInDialog(DWORD processId, const std::wstring& folder,
                    std::chrono::milliseconds timeout) {
  return answerDialog(processId, timeout, false,
                      [&folder](HWND dialog) { return postChoice(dialog, folder); });
}

}  // namespace tidvale::shell
