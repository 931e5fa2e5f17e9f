#pragma once
// The process's command-line arguments as the Dart entrypoint receives them. Any thread.

#include <string>
#include <vector>

namespace tidvale::host {

// Longest argument converted; longer text is cut to this many UTF-16 units first.
inline constexpr size_t kMaxArgumentUnits = 32767;

// Strict UTF-16 to UTF-8: an argument that is not valid UTF-16 (an unpaired surrogate, for
// example) becomes "" rather than a lossy string. Null gives "".
std::string argumentToUtf8(const wchar_t* argument);

// Splits `commandLine` the way the shell does, drops the program name and converts the rest with
// argumentToUtf8. A line that cannot be split gives no arguments.
std::vector<std::string> entrypointArguments(const wchar_t* commandLine);

}  // namespace tidvale::host
