#pragma once
// Hand-offs to the Windows shell: show a path in Explorer, open a path, choose a folder.
// Platform thread (COM initialised single-threaded there); nothing throws.

#include <optional>
#include <string>
#include <string_view>

namespace tidvale::shell {

// Explorer's parameter text for selecting `path`: /select,"<path>". Quotes inside the path are
// passed as they are; an empty path gives /select,"".
std::wstring revealParameters(std::wstring_view path);

// Opens an Explorer window with `path` selected. Fire and forget: the shell's result is ignored.
void revealPath(const std::wstring& path);

// Opens `path` with its associated program. Fire and forget, also for an empty or missing path.
void openPath(const std::wstring& path);

// Shows the modal folder chooser, owned by the calling thread's active window, and returns the
// chosen folder's file-system path in UTF-8. std::nullopt when the dialog cannot be created,
// fails, is cancelled or yields an empty path. Needs COM initialised on the calling thread;
// returns only when the dialog has closed.
std::optional<std::string> pickFolder();

}  // namespace tidvale::shell
