#pragma once
#include <memory>

#include "channels/method_call.h"
#include "channels/method_result.h"
#include "core/service_state.h"

namespace tidvale {

// The handler of "tidvale/native", on the platform thread: quick methods are answered at once,
// every other name (known or not) starts a background call that answers later.
void handleMethodCall(ServiceState& state, const MethodCall& call,
                      std::unique_ptr<MethodResult> result);

}  // namespace tidvale
