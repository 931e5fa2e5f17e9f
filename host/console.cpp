#include "host/console.h"

#include <windows.h>

#include <io.h>
#include <cstdio>
#include <iostream>

#include "engine/flutter_windows_api.h"

namespace tidvale::host {
namespace {

constexpr char kConsoleOutput[] = "CONOUT$";
constexpr int kStandardOutputDescriptor = 1;
constexpr int kStandardErrorDescriptor = 2;

void createConsole() {
  if (!::AllocConsole()) return;
  if (!std::freopen(kConsoleOutput, "w", stdout)) {
    _dup2(_fileno(stdout), kStandardOutputDescriptor);
  }
  if (!std::freopen(kConsoleOutput, "w", stderr)) {
    _dup2(_fileno(stdout), kStandardErrorDescriptor);
  }
  std::ios::sync_with_stdio();
  FlutterDesktopResyncOutputStreams();
}

}  // namespace

void attachConsoleWhenUseful() {
  if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::IsDebuggerPresent()) createConsole();
}

}  // namespace tidvale::host
