#pragma once
// The end of delivery to the interface, when the engine and its messenger go away.

#include "core/service_state.h"

namespace tidvale {

// Platform thread, before the messenger is destroyed: nothing is sent through it again. The
// listener's sink is dropped; results and progress events still queued, and any posted later by
// background calls that outlive the window, are destroyed without running.
void closeDelivery(ServiceState& state);

}  // namespace tidvale
