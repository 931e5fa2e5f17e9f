#pragma once
// Answers a modal dialog from outside its modal loop, for tests and tools that drive the folder
// chooser without a user. Any thread; the dialog's own thread must be running its modal loop.

#include <windows.h>

#include <chrono>
#include <string>
#include <utility>

namespace tidvale::shell {

// Window class of standard dialogs, the folder chooser among them.
inline constexpr wchar_t kDialogWindowClass[] = L"#32770";
// How often the window list is searched, and how long a posted answer may go unanswered before
// it is posted again (a dialog found while still being created may miss the first one).
inline constexpr std::chrono::milliseconds kDialogPollInterval{50};
inline constexpr std::chrono::milliseconds kDialogRepostInterval{1000};
// Longest wait for the dialog to take the typed folder; a hung dialog is not waited on longer.
inline constexpr std::chrono::milliseconds kDialogSendTimeout{5000};

// Whose dialog to answer: one process by id, the processes of one program by the file name of
// their executable (as "Tidvale.exe", any case; for callers that know only a Unix process id),
// or, with neither, any process.
struct DialogOwner {
  DWORD processId = 0;
  std::wstring programName;

  static DialogOwner process(DWORD id) { return {id, {}}; }
  static DialogOwner program(std::wstring name) { return {0, std::move(name)}; }
};

// A top-level window of class "#32770" belonging to `owner`, or null.
HWND findDialog(const DialogOwner& owner);

// Waits up to `timeout` for such a dialog, posts it a cancel command (WM_COMMAND IDCANCEL) and
// waits for the window to go. true only when a dialog was found and has been destroyed.
bool dismissDialog(const DialogOwner& owner, std::chrono::milliseconds timeout);

// As dismissDialog, but types `folder` into the dialog's file-name box and presses its default
// button (IDOK) once instead of cancelling. false as well when no file-name box appears or the
// dialog does not close, for example because it refused the folder.
bool chooseInDialog(const DialogOwner& owner, const std::wstring& folder,
                    std::chrono::milliseconds timeout);

}  // namespace tidvale::shell
