#pragma once
// Threads that nobody joins, started through the C runtime. Not std::thread: the POSIX-thread
// layer under it can, when a thread is detached before it has started, run one thread's body
// twice and another's never (seen under Wine with many threads started at once).

#include <windows.h>

#include <process.h>

#include <memory>
#include <type_traits>
#include <utility>

#include "win/unique_resource.h"

namespace tidvale::win {

namespace detail {
template <typename Body>
unsigned __stdcall runDetachedBody(void* parameter) {
  const std::unique_ptr<Body> body(static_cast<Body*>(parameter));
  (*body)();
  return 0;
}
}  // namespace detail

// Any thread. Runs `body` on a new thread and returns true; returns false (with errno set by the
// runtime, and `body` destroyed unrun) when no thread can be started.
template <typename Body>
bool startDetachedThread(Body&& body) {
  using Stored = std::decay_t<Body>;
  auto owned = std::make_unique<Stored>(std::forward<Body>(body));
  const uintptr_t thread =
      ::_beginthreadex(nullptr, 0, &detail::runDetachedBody<Stored>, owned.get(), 0, nullptr);
  if (thread == 0) return false;
  owned.release();  // the thread owns it now
  UniqueHandle closeToDetach(reinterpret_cast<HANDLE>(thread));
  return true;
}

}  // namespace tidvale::win
