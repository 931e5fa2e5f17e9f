#pragma once
// A walk over every process of a fresh Toolhelp snapshot. Any thread; the snapshot is closed
// before the walk returns.

#include <windows.h>

#include <functional>

namespace tidvale::system {

// Calls `visit` with each process's identifier and executable file name (valid only during the
// call), in snapshot order. False, with nothing visited, when the snapshot cannot be taken or its
// first entry cannot be read.
bool forEachProcess(const std::function<void(DWORD pid, const wchar_t* exeName)>& visit);

}  // namespace tidvale::system
