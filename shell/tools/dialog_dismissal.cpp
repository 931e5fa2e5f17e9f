#include "shell/tools/dialog_dismissal.h"

#include <dlgs.h>

#include <cwchar>
#include <iterator>
#include <string_view>

#include "win/unique_resource.h"

namespace tidvale::shell {

namespace {

constexpr wchar_t kEditWindowClass[] = L"Edit";
// Room for an executable's full path, long paths included.
constexpr DWORD kImagePathUnits = 32768;

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

// Whether the executable of process `processId` has the file name `programName` (any case).
bool runsProgram(DWORD processId, const std::wstring& programName) {
  const win::UniqueHandle process(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return false;
  std::wstring image(kImagePathUnits, L'\0');
  DWORD units = kImagePathUnits;
  if (!::QueryFullProcessImageNameW(process.get(), 0, image.data(), &units)) return false;
  const std::wstring_view path(image.data(), units);
  const std::wstring_view name = path.substr(path.find_last_of(L'\\') + 1);
  return ::CompareStringOrdinal(name.data(), static_cast<int>(name.size()), programName.data(),
                                static_cast<int>(programName.size()), TRUE) == CSTR_EQUAL;
}

bool belongsTo(HWND window, const DialogOwner& owner) {
  DWORD processId = 0;
  ::GetWindowThreadProcessId(window, &processId);
  if (owner.processId != 0 && processId != owner.processId) return false;
  return owner.programName.empty() || runsProgram(processId, owner.programName);
}

struct DialogSearch {
  const DialogOwner& owner;
  HWND found;
};

BOOL CALLBACK matchDialog(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<DialogSearch*>(context);
  if (!hasClass(window, kDialogWindowClass) || !belongsTo(window, search->owner)) return TRUE;
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
bool answerDialog(const DialogOwner& owner, std::chrono::milliseconds timeout, bool repeat,
                  Answer answer) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  HWND dialog = nullptr;
  bool answered = false;
  auto lastAnswer = Clock::time_point{};
  for (;;) {
    const auto now = Clock::now();
    if (dialog == nullptr) dialog = findDialog(owner);
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

HWND findDialog(const DialogOwner& owner) {
  DialogSearch search{owner, nullptr};
  ::EnumWindows(matchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool dismissDialog(const DialogOwner& owner, std::chrono::milliseconds timeout) {
  return answerDialog(owner, timeout, true, [](HWND dialog) {
    postCommand(dialog, IDCANCEL);
    return true;
  });
}

bool chooseInDialog(const DialogOwner& owner, const std::wstring& folder,
                    std::chrono::milliseconds timeout) {
  return answerDialog(owner, timeout, false,
                      [&folder](HWND dialog) { return postChoice(dialog, folder); });
}

}  // namespace tidvale::shell
