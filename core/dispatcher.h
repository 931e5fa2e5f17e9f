#pragma once
// The process-wide hand-over to the platform thread.

#include "core/dispatch_queue.h"

namespace tidvale {

// The queue drained by the dispatcher window on the platform thread. Created on first use.
DispatchQueue& dispatcher();

// Any thread: runs `closure` later on the platform thread, after everything posted before it.
void postToPlatformThread(DispatchQueue::Closure closure);

}  // namespace tidvale
