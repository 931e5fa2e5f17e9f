#pragma once
// Console attachment at start-up. Main thread, before anything writes to the standard streams.

namespace tidvale::host {

// Attaches to the parent process's console. Failing that, and only under a debugger, creates a
// console and reopens standard output and error on it. Failures leave the streams as they were.
void attachConsoleWhenUseful();

}  // namespace tidvale::host
