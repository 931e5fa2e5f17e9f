#pragma once
// The operating system's own text for an error code. Any thread.

#include <windows.h>

#include <string>

namespace tidvale::software {

inline constexpr char kUnknownErrorText[] = "unknown error";

// The system message table's text for `code` (US English, else the default language, else any),
// without trailing blanks and line breaks; "unknown error" when there is none.
std::string systemMessageText(DWORD code);

}  // namespace tidvale::software
