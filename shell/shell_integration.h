#pragma once
// Hand-offs to the Windows shell: show a path in Explorer, open a path, choose a folder.
// Platform thread (COM initialised single-threaded there); nothing throws.

#include <optional>
#include <string>
#include <string_view>

namespace tidvale::shell {

// Explorer's parameter text for selecting `path`: /select,"<path>"; an empty path gives
// /select,"". Nothing for a path holding a quote: it names no Windows file, and it would end the
// quoted text early and add parameters of its own.
std::optional<std::wstring> revealParameters(std::wstring_view path);

// Opens an Explorer window with `path` selected; nothing is started for a path that
// revealParameters refuses. Fire and forget: the shell's result is ignored.
void revealPath(const std::wstring& path);

// Opens `path` with its associated program. Fire and forget, also for an empty or missing path.
void openPath(const std::wstring& path);

// Shows the modal folder chooser, owned by the calling thread's active window, and returns the
// chosen folder's file-system path in UTF-8. std::nullopt when the dialog cannot be created,
// fails, is cancelled or yields an empty path. Needs COM initialised on the calling thread;
// returns only when the dialog has closed.
std::optional<std::string> pickFolder();

}  // namespace tidvale::shell
