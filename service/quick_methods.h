#pragma once
// The seven methods answered at once on the platform thread.

#include "channels/method_call.h"
#include "channels/method_result.h"
#include "core/service_state.h"

namespace tidvale {

// Platform thread. Answers `call` and returns true when it names a quick method; returns false
// (without answering) otherwise. "pickFolder" blocks in its modal dialog until it closes.
bool answerQuickMethod(ServiceState& state, const MethodCall& call, MethodResult& result);

}  // namespace tidvale
